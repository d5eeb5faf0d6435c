# The boot-code scan, sanitised: nothing past the given bytes is read.
larkspur_host_test(boot_code_test ${LARKSPUR_SOURCE_DIR}/tests/host/boot_code_test.cpp
  ${LARKSPUR_SOURCE_DIR}/repair/boot_code.cpp)
