# Both programs beside planted DLLs, and their import tables. The plants (a crypt32.dll, a
# wininet.dll and a wintrust.dll of a stranger's) export the names a program would import from the
# DLL they stand in for; the probe imports all three, as the programs once did.
set(PLANTED_DIR ${CMAKE_BINARY_DIR}/tests/planted-dlls)
set(PLANTED_TARGETS)
foreach(plant crypt32 wininet wintrust)
  if(plant STREQUAL crypt32)
    set(exports CertNameToStrW)
  elseif(plant STREQUAL wininet)
    set(exports InternetGetConnectedState InternetOpenW InternetOpenUrlW InternetReadFile InternetCloseHandle)
  else()
    set(exports CryptCATAdminAcquireContext CryptCATAdminReleaseContext CryptCATAdminCalcHashFromFileHandle
      CryptCATAdminEnumCatalogFromHash CryptCATCatalogInfoFromContext CryptCATAdminReleaseCatalogContext
      WinVerifyTrust WTHelperProvDataFromStateData WTHelperGetProvCertFromChain WTHelperGetProvSignerFromChain)
  endif()
  list(TRANSFORM exports APPEND "=PlantStub")
  list(JOIN exports "\n  " exports)
  set(def ${CMAKE_BINARY_DIR}/fixtures/planted/${plant}.def)
  file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${plant}.dll\nEXPORTS\n  ${exports}\n")
  add_library(planted_${plant} SHARED ${LARKSPUR_SOURCE_DIR}/tests/fixtures/planted/plant.c ${def})
  target_link_libraries(planted_${plant} PRIVATE -static-libgcc)
  set_target_properties(planted_${plant} PROPERTIES OUTPUT_NAME ${plant} PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${PLANTED_DIR} ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures/planted)
  list(APPEND PLANTED_TARGETS planted_${plant})
endforeach()

add_executable(planted_probe ${LARKSPUR_SOURCE_DIR}/tests/fixtures/planted/probe.c)
target_link_libraries(planted_probe PRIVATE crypt32 wininet wintrust shell32 ${LARKSPUR_STATIC_LINK})
set_target_properties(planted_probe PROPERTIES OUTPUT_NAME probe RUNTIME_OUTPUT_DIRECTORY ${PLANTED_DIR})

larkspur_wine_test(planted_dlls_test SOURCES ${LARKSPUR_SOURCE_DIR}/tests/e2e/planted_dlls_test.cpp
  LIBS larkspur_remote_ui ws2_32 DEPENDS Larkspur Tolvane planted_probe ${PLANTED_TARGETS})
# Wine searches for the plants' names as Windows does (the program's folder first) in the first run,
# and has no WinINet at all in the second.
set_tests_properties(wine.planted_dlls_test PROPERTIES ENVIRONMENT
  "${LARKSPUR_TEST_ENV};LARKSPUR_DLL_OVERRIDES=crypt32,wininet,wintrust=n,b;GTEST_FILTER=-WithoutWinInet.*")
add_test(NAME wine.planted_dlls_test.without_wininet COMMAND planted_dlls_test --gtest_filter=WithoutWinInet.*)
set_tests_properties(wine.planted_dlls_test.without_wininet PROPERTIES
  ENVIRONMENT "${LARKSPUR_TEST_ENV};LARKSPUR_DLL_OVERRIDES=wininet=" FIXTURES_REQUIRED wine_template)
