# Windows tests. Each tests/windows/<name>_test.cpp becomes one executable that ctest runs under
# Wine through cmake/wine-run (a fresh prefix copied from the build's template, a virtual display).
file(GLOB LARKSPUR_TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${LARKSPUR_SOURCE_DIR}/tests/windows/support/*.cpp)
add_library(larkspur_test_support STATIC ${LARKSPUR_TEST_SUPPORT_SOURCES})
target_include_directories(larkspur_test_support PUBLIC ${LARKSPUR_SOURCE_DIR}/tests/windows)
target_link_libraries(larkspur_test_support PUBLIC larkspur_core gtest)

set(LARKSPUR_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
set(LARKSPUR_TEST_ENV
  "LARKSPUR_WINE_ROOT=${LARKSPUR_WINE_ROOT}"
  "LARKSPUR_BIN_DIR=${LARKSPUR_BIN_DIR}"
  "LARKSPUR_TEST_BIN_DIR=${CMAKE_BINARY_DIR}/tests"
  "LARKSPUR_SOURCE_DIR=${LARKSPUR_SOURCE_DIR}")

# larkspur_wine_test(name SOURCES... [DEPENDS targets...]): a GoogleTest executable linked with the
# whole of Larkspur (and its resources), run under Wine.
function(larkspur_wine_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} $<TARGET_OBJECTS:larkspur_resources>)
  target_link_libraries(${name} PRIVATE larkspur_test_support gtest_main ${ARG_LIBS} ${LARKSPUR_STATIC_LINK})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  add_test(NAME wine.${name} COMMAND ${name})
  set_tests_properties(wine.${name} PROPERTIES ENVIRONMENT "${LARKSPUR_TEST_ENV}" FIXTURES_REQUIRED wine_template)
endfunction()

# The template prefix is made once per build directory, before the first Wine test.
add_test(NAME wine.template COMMAND ${LARKSPUR_SOURCE_DIR}/cmake/wine-template ${LARKSPUR_WINE_ROOT}/template)
set_tests_properties(wine.template PROPERTIES FIXTURES_SETUP wine_template)

file(GLOB LARKSPUR_WINE_TESTS CONFIGURE_DEPENDS ${LARKSPUR_SOURCE_DIR}/tests/windows/*_test.cpp)
foreach(source ${LARKSPUR_WINE_TESTS})
  get_filename_component(name ${source} NAME_WE)
  larkspur_wine_test(${name} SOURCES ${source} DEPENDS Larkspur)
endforeach()

# Tests with fixtures or programs of their own describe themselves in a fragment beside them.
file(GLOB LARKSPUR_WINE_FRAGMENTS CONFIGURE_DEPENDS
  ${LARKSPUR_SOURCE_DIR}/tests/windows/*.cmake ${LARKSPUR_SOURCE_DIR}/tests/e2e/*.cmake)
foreach(fragment ${LARKSPUR_WINE_FRAGMENTS})
  include(${fragment})
endforeach()

# Benchmarks that run under Wine (make bench): figures beside a bare baseline, not tests.
file(GLOB LARKSPUR_WINE_BENCHES CONFIGURE_DEPENDS ${LARKSPUR_SOURCE_DIR}/tests/bench/wine/*_bench.cpp)
add_custom_target(wine_bench)
foreach(source ${LARKSPUR_WINE_BENCHES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} EXCLUDE_FROM_ALL ${source} $<TARGET_OBJECTS:larkspur_resources>)
  target_link_libraries(${name} PRIVATE larkspur_test_support ${LARKSPUR_STATIC_LINK})
  target_compile_options(${name} PRIVATE -O2)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(wine_bench ${name})
endforeach()
