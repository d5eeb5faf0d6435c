# The real Tolvane.exe against a description server inside the test, reached through the proxy setting.
larkspur_wine_test(tolvane_test SOURCES ${LARKSPUR_SOURCE_DIR}/tests/e2e/tolvane_test.cpp DEPENDS Tolvane LIBS ws2_32 version)
