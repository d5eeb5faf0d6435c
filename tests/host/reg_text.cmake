larkspur_host_test(reg_text_test ${LARKSPUR_SOURCE_DIR}/tests/host/reg_text_test.cpp
  ${LARKSPUR_SOURCE_DIR}/tests/host/reg_import.cpp ${LARKSPUR_SOURCE_DIR}/backup/reg_text.cpp)
