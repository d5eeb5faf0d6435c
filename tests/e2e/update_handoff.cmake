# The real Larkspur.exe with an updater beside it: the stand-in of tests/windows/update_handoff.cmake,
# and the real Tolvane.exe against a description server inside the test.
larkspur_wine_test(update_handoff_e2e_test
  SOURCES ${LARKSPUR_SOURCE_DIR}/tests/e2e/update_handoff_e2e_test.cpp ${LARKSPUR_SOURCE_DIR}/updater/crc32.cpp
  LIBS larkspur_remote_ui ws2_32 DEPENDS Larkspur Tolvane update_standin)
