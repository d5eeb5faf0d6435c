larkspur_fuzz_target(reg_text_fuzz ${LARKSPUR_SOURCE_DIR}/tests/fuzz/reg_text_fuzz.cpp
  ${LARKSPUR_SOURCE_DIR}/tests/host/reg_import.cpp ${LARKSPUR_SOURCE_DIR}/backup/reg_text.cpp)
