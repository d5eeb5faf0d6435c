# The real Larkspur.exe from outside: the demo's driver and the start-up test.
add_library(larkspur_remote_ui STATIC ${LARKSPUR_SOURCE_DIR}/tests/e2e/remote_ui.cpp)
target_link_libraries(larkspur_remote_ui PUBLIC comctl32 user32 gdi32)

add_executable(demo_driver ${LARKSPUR_SOURCE_DIR}/tests/e2e/demo_driver.cpp)
target_link_libraries(demo_driver PRIVATE larkspur_remote_ui ${LARKSPUR_STATIC_LINK} -municode)
set_target_properties(demo_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

larkspur_wine_test(larkspur_exe_test SOURCES ${LARKSPUR_SOURCE_DIR}/tests/e2e/larkspur_exe_test.cpp
  LIBS larkspur_remote_ui DEPENDS Larkspur)

larkspur_wine_test(keys_test SOURCES ${LARKSPUR_SOURCE_DIR}/tests/e2e/keys_test.cpp
  LIBS larkspur_remote_ui DEPENDS Larkspur)
