larkspur_host_test(indirect_string_test ${LARKSPUR_SOURCE_DIR}/tests/host/indirect_string_test.cpp
  ${LARKSPUR_SOURCE_DIR}/repair/indirect_string.cpp)
