larkspur_host_test(crc32_test ${LARKSPUR_SOURCE_DIR}/tests/host/crc32_test.cpp ${LARKSPUR_SOURCE_DIR}/updater/crc32.cpp)
