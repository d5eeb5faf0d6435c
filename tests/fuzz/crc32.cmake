larkspur_fuzz_target(crc32_fuzz ${LARKSPUR_SOURCE_DIR}/tests/fuzz/crc32_fuzz.cpp ${LARKSPUR_SOURCE_DIR}/updater/crc32.cpp)
target_link_libraries(crc32_fuzz PRIVATE z)
