larkspur_host_test(gif_blocks_test ${LARKSPUR_SOURCE_DIR}/tests/host/gif_blocks_test.cpp ${LARKSPUR_SOURCE_DIR}/app/gif_blocks.cpp)
