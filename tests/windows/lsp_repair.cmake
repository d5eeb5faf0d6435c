# Provider DLLs for the LSP page's tests, with and without version texts; the first is also the
# foreign provider of the demo's catalogue (scripts/seed/70-lsp.sh). And a program that stands in
# for regedit, netsh and Explorer where a test needs one that takes its time.
set(LSP_FIXTURE_DIR ${CMAKE_BINARY_DIR}/tests/lsp)

# lsp_provider(name [BLOCK block TRANSLATION "language, code page"] [COMPANY text] [DESCRIPTION text]):
# name.dll, with a version resource when a block is given.
function(lsp_provider name)
  cmake_parse_arguments(ARG "" "BLOCK;TRANSLATION;COMPANY;DESCRIPTION" "" ${ARGN})
  set(sources ${LARKSPUR_SOURCE_DIR}/tests/fixtures/lsp/provider.c)
  if(ARG_BLOCK)
    set(BLOCK ${ARG_BLOCK})
    set(TRANSLATION ${ARG_TRANSLATION})
    set(STRINGS "")
    if(DEFINED ARG_COMPANY)
      string(APPEND STRINGS "            VALUE \"CompanyName\", \"${ARG_COMPANY}\"\n")
    endif()
    if(DEFINED ARG_DESCRIPTION)
      string(APPEND STRINGS "            VALUE \"FileDescription\", \"${ARG_DESCRIPTION}\"\n")
    endif()
    configure_file(${LARKSPUR_SOURCE_DIR}/tests/fixtures/lsp/version.rc.in ${CMAKE_BINARY_DIR}/fixtures/lsp/${name}.rc @ONLY)
    list(APPEND sources ${CMAKE_BINARY_DIR}/fixtures/lsp/${name}.rc)
  endif()
  add_library(lsp_${name} SHARED ${sources})
  target_link_libraries(lsp_${name} PRIVATE -static-libgcc)
  set_target_properties(lsp_${name} PROPERTIES OUTPUT_NAME ${name} PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${LSP_FIXTURE_DIR} ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures/lsp)
  add_dependencies(lsp_repair_test lsp_${name})
endfunction()

lsp_provider(speedlsp BLOCK 080404b0 TRANSLATION "0x804, 1200"
  COMPANY "速航网络科技有限公司" DESCRIPTION "速航网络加速分层服务")
lsp_provider(upper BLOCK 040904b0 TRANSLATION "0x409, 1200"
  COMPANY "MICROSOFT CORPORATION" DESCRIPTION "Winsock helper")
lsp_provider(company_only BLOCK 040904b0 TRANSLATION "0x409, 1200" COMPANY "Quiet Vendor")
# Texts only for the second of two translations.
lsp_provider(second_translation BLOCK 080404b0 TRANSLATION "0x409, 1200, 0x804, 1200"
  COMPANY "Second Vendor" DESCRIPTION "Second pair")
string(REPEAT "V" 600 long_company)
string(REPEAT "D" 512 long_description)
lsp_provider(long_texts BLOCK 040904b0 TRANSLATION "0x409, 1200"
  COMPANY ${long_company} DESCRIPTION ${long_description})
lsp_provider(plain)

add_executable(lsp_sleeper ${LARKSPUR_SOURCE_DIR}/tests/fixtures/lsp/sleeper.c)
target_link_libraries(lsp_sleeper PRIVATE ${LARKSPUR_STATIC_LINK})
set_target_properties(lsp_sleeper PROPERTIES OUTPUT_NAME sleeper RUNTIME_OUTPUT_DIRECTORY ${LSP_FIXTURE_DIR})
add_dependencies(lsp_repair_test lsp_sleeper trust_fixtures)

# A 32-bit provider (i686) with version texts, signed as the signature fixtures are (with their
# keys): the tests put it in the 32-bit system folder only, where "%SystemRoot%\system32\..." of the
# 32-bit catalogue leads; the demo seeds it as that catalogue's foreign provider (70-lsp.sh).
set(LSP32_DIR ${CMAKE_BINARY_DIR}/fixtures/lsp32)
set(BLOCK 080404b0)
set(TRANSLATION "0x804, 1200")
set(STRINGS "            VALUE \"CompanyName\", \"星桥网络科技有限公司\"\n            VALUE \"FileDescription\", \"星桥网络分层服务\"\n")
configure_file(${LARKSPUR_SOURCE_DIR}/tests/fixtures/lsp/version.rc.in ${LSP32_DIR}/wow64lsp.rc @ONLY)
set(TRUST_KEYS ${CMAKE_BINARY_DIR}/tests/trust/keys)
add_custom_command(OUTPUT ${LSP_FIXTURE_DIR}/wow64lsp.dll
  COMMAND i686-w64-mingw32-windres -c 65001 -i ${LSP32_DIR}/wow64lsp.rc -O coff -o ${LSP32_DIR}/wow64lsp.res.o
  COMMAND i686-w64-mingw32-gcc -shared -s -static-libgcc -o ${LSP32_DIR}/wow64lsp.dll
          ${LARKSPUR_SOURCE_DIR}/tests/fixtures/lsp/provider.c ${LSP32_DIR}/wow64lsp.res.o
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LSP_FIXTURE_DIR}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${LSP_FIXTURE_DIR}/wow64lsp.dll
  COMMAND osslsigncode sign -certs ${TRUST_KEYS}/signed.chain.pem -key ${TRUST_KEYS}/leaf.key -n "Larkspur Test"
          -h sha256 -in ${LSP32_DIR}/wow64lsp.dll -out ${LSP_FIXTURE_DIR}/wow64lsp.dll > /dev/null
  DEPENDS ${LARKSPUR_SOURCE_DIR}/tests/fixtures/lsp/provider.c ${LSP32_DIR}/wow64lsp.rc
  COMMENT "Building and signing the 32-bit provider")
add_custom_target(lsp_wow64lsp DEPENDS ${LSP_FIXTURE_DIR}/wow64lsp.dll)
add_dependencies(lsp_wow64lsp trust_fixtures)
add_dependencies(lsp_repair_test lsp_wow64lsp)

# The catalogue under code page 936: the same executable, its code-page cases only, in the locale
# that makes Wine report 936.
add_test(NAME wine.lsp_repair_test.cp936 COMMAND lsp_repair_test --gtest_filter=Catalog.PathsAreReadInTheAnsiCodePage)
set_tests_properties(wine.lsp_repair_test.cp936 PROPERTIES
  ENVIRONMENT "${LARKSPUR_TEST_ENV};LC_ALL=zh_CN.UTF-8" FIXTURES_REQUIRED wine_template)
