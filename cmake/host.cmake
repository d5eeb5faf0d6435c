# Host build: tools used by the build, byte-level parsers and their sanitised tests and fuzz targets.
set(LARKSPUR_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra ${LARKSPUR_SANITIZERS})
add_link_options(${LARKSPUR_SANITIZERS})
include_directories(${LARKSPUR_SOURCE_DIR})

file(GLOB LARKSPUR_HOST_FRAGMENTS CONFIGURE_DEPENDS
  ${LARKSPUR_SOURCE_DIR}/tools/*.cmake
  ${LARKSPUR_SOURCE_DIR}/tests/host/*.cmake
  ${LARKSPUR_SOURCE_DIR}/tests/fuzz/*.cmake)
# larkspur_fuzz_target(name sources...): a libFuzzer target, run for a bounded time by ctest.
set(LARKSPUR_FUZZ_SECONDS 20 CACHE STRING "seconds each fuzz target runs in the test suite")
function(larkspur_fuzz_target name)
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_test(NAME fuzz.${name} COMMAND ${name} -max_total_time=${LARKSPUR_FUZZ_SECONDS} -rss_limit_mb=2048)
endfunction()

# larkspur_host_test(name sources...): a sanitised GoogleTest executable.
function(larkspur_host_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE gtest_main)
  add_test(NAME host.${name} COMMAND ${name})
endfunction()

foreach(fragment ${LARKSPUR_HOST_FRAGMENTS})
  include(${fragment})
endforeach()
