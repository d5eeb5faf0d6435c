# A module with a string table beside the test program, for entries whose names are indirect.
# The demo seed copies it into the demo prefix's system folder.
add_library(firewall_names SHARED ${LARKSPUR_SOURCE_DIR}/tests/fixtures/firewall/names.c
  ${LARKSPUR_SOURCE_DIR}/tests/fixtures/firewall/names.rc)
target_link_libraries(firewall_names PRIVATE -static-libgcc)
set_target_properties(firewall_names PROPERTIES OUTPUT_NAME firewall_names PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures)
add_dependencies(firewall_policy_test firewall_names)
