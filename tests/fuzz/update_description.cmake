larkspur_fuzz_target(update_description_fuzz ${LARKSPUR_SOURCE_DIR}/tests/fuzz/update_description_fuzz.cpp
  ${LARKSPUR_SOURCE_DIR}/updater/update_description.cpp)
