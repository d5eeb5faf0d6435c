# Signed and unsigned programs for the signature tests, made at build time from a tiny program.
add_executable(trust_fixture_unsigned ${LARKSPUR_SOURCE_DIR}/tests/fixtures/trust/tiny.c)
target_link_libraries(trust_fixture_unsigned PRIVATE ${LARKSPUR_STATIC_LINK})
set_target_properties(trust_fixture_unsigned PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures)

set(TRUST_FIXTURE_DIR ${CMAKE_BINARY_DIR}/tests/trust)
set(TRUST_FIXTURES ${TRUST_FIXTURE_DIR}/unsigned.exe ${TRUST_FIXTURE_DIR}/signed.exe ${TRUST_FIXTURE_DIR}/comma.exe
  ${TRUST_FIXTURE_DIR}/nocn.exe ${TRUST_FIXTURE_DIR}/bad.exe
  ${TRUST_FIXTURE_DIR}/signer.cer ${TRUST_FIXTURE_DIR}/root.cer ${TRUST_FIXTURE_DIR}/signer.pvk)
add_custom_command(OUTPUT ${TRUST_FIXTURES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TRUST_FIXTURE_DIR}
  COMMAND ${LARKSPUR_SOURCE_DIR}/tests/fixtures/trust/make-signed-fixtures
          $<TARGET_FILE:trust_fixture_unsigned> ${TRUST_FIXTURE_DIR}
  DEPENDS trust_fixture_unsigned ${LARKSPUR_SOURCE_DIR}/tests/fixtures/trust/make-signed-fixtures
  COMMENT "Signing the signature-test programs")
add_custom_target(trust_fixtures DEPENDS ${TRUST_FIXTURES})
add_dependencies(trust_library_test trust_fixtures)
# The test signs its own catalogue with the certificate functions.
target_link_libraries(trust_library_test PRIVATE crypt32)

# A program folder with a planted wintrust.dll: the library must still come from the system folder.
set(TRUST_PLANTED_DIR ${CMAKE_BINARY_DIR}/tests/planted)
add_library(trust_planted_wintrust SHARED ${LARKSPUR_SOURCE_DIR}/tests/fixtures/trust/planted.c)
target_link_libraries(trust_planted_wintrust PRIVATE -static-libgcc)
set_target_properties(trust_planted_wintrust PROPERTIES OUTPUT_NAME wintrust PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${TRUST_PLANTED_DIR} ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures)
larkspur_wine_test(trust_planted_test SOURCES ${LARKSPUR_SOURCE_DIR}/tests/windows/planted/trust_planted_test.cpp
  DEPENDS trust_planted_wintrust)
set_target_properties(trust_planted_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TRUST_PLANTED_DIR})
