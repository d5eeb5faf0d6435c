# A module with string resources whose entry point leaves a mark beside it (the planted DLLs' code):
# the add-on tests read indirect names from it and show that it never runs. The demo seeds it too
# (scripts/seed/75-addons.sh).
add_library(addon_strings SHARED ${LARKSPUR_SOURCE_DIR}/tests/fixtures/planted/plant.c
  ${LARKSPUR_SOURCE_DIR}/tests/fixtures/addon/strings.rc)
target_link_libraries(addon_strings PRIVATE -static-libgcc)
set_target_properties(addon_strings PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/addon
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures)
add_dependencies(ie_loader_test addon_strings)
