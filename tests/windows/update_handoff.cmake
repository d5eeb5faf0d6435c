# The stand-in updater of the hand-off tests: copied as Tolvane.exe beside copies of the test
# and of Larkspur.exe in the prefix.
add_executable(update_standin WIN32 ${LARKSPUR_SOURCE_DIR}/tests/windows/update_standin.cpp)
target_link_libraries(update_standin PRIVATE ${LARKSPUR_STATIC_LINK} -municode)
set_target_properties(update_standin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(update_handoff_test update_standin)
