# The real Larkspur.exe with an updater beside it (the stand-in of tests/windows/update_handoff.cmake).
larkspur_wine_test(update_handoff_e2e_test SOURCES ${LARKSPUR_SOURCE_DIR}/tests/e2e/update_handoff_e2e_test.cpp
  LIBS larkspur_remote_ui DEPENDS Larkspur update_standin)
