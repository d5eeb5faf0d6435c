larkspur_fuzz_target(indirect_string_fuzz ${LARKSPUR_SOURCE_DIR}/tests/fuzz/indirect_string_fuzz.cpp
  ${LARKSPUR_SOURCE_DIR}/repair/indirect_string.cpp)
