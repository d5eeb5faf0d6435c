# The update description parser beside the system's profile functions, on the same bytes.
larkspur_wine_test(profile_parity_test SOURCES ${LARKSPUR_SOURCE_DIR}/tests/windows/profile_parity.cpp
  ${LARKSPUR_SOURCE_DIR}/updater/update_description.cpp ${LARKSPUR_SOURCE_DIR}/updater/ansi_text.cpp)
