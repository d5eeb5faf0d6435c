# make bench: throughput figures, not a test. Built optimised and without sanitizers.
add_executable(bench ${LARKSPUR_SOURCE_DIR}/tests/bench/crc32_bench.cpp ${LARKSPUR_SOURCE_DIR}/updater/crc32.cpp)
target_compile_options(bench PRIVATE -O2 -fno-sanitize=all)
target_link_options(bench PRIVATE -fno-sanitize=all)
target_link_libraries(bench PRIVATE z)
set_target_properties(bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
