# A global window hook whose DLL notes every process that creates a window: the report must not.
add_library(window_watch SHARED ${LARKSPUR_SOURCE_DIR}/tests/fixtures/report/window_watch.c)
target_link_libraries(window_watch PRIVATE -static-libgcc)
set_target_properties(window_watch PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/report
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures)

# The real Larkspur.exe writing its report: on the demo's damaged machine (the prefix seeded from
# scripts/seed, with the fixtures the seeds copy), and on a clean machine with its error paths.
larkspur_wine_test(report_seeded_test SOURCES ${LARKSPUR_SOURCE_DIR}/tests/e2e/report_seeded_test.cpp
  LIBS larkspur_remote_ui DEPENDS Larkspur window_watch lsp_speedlsp lsp_wow64lsp addon_strings firewall_names
  trust_fixtures)
set_property(TEST wine.report_seeded_test APPEND PROPERTY ENVIRONMENT
  "LARKSPUR_SEED_DAMAGE=1" "LARKSPUR_BUILD_DIR=${CMAKE_BINARY_DIR}")
larkspur_wine_test(report_exe_test SOURCES ${LARKSPUR_SOURCE_DIR}/tests/e2e/report_exe_test.cpp
  LIBS larkspur_remote_ui DEPENDS Larkspur window_watch)
