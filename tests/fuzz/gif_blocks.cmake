larkspur_fuzz_target(gif_blocks_fuzz ${LARKSPUR_SOURCE_DIR}/tests/fuzz/gif_blocks_fuzz.cpp ${LARKSPUR_SOURCE_DIR}/app/gif_blocks.cpp)
