# The HOSTS page under code page 936: the same executable, its code-page cases only, in the
# locale that makes Wine report 936.
#
# Wine turns file names into the Unix locale's character set, and a machine without the zh_CN.UTF-8
# locale gives it ASCII, where the backups' Chinese file names cannot be made. The locale is made
# in the build folder (LOCPATH), so the machine's own locales are not touched.
set(LARKSPUR_LOCALE_DIR ${CMAKE_BINARY_DIR}/locale)
add_custom_command(OUTPUT ${LARKSPUR_LOCALE_DIR}/zh_CN.UTF-8/LC_CTYPE
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LARKSPUR_LOCALE_DIR}
  COMMAND localedef -i zh_CN -f UTF-8 ${LARKSPUR_LOCALE_DIR}/zh_CN.UTF-8
  COMMENT "Making the zh_CN.UTF-8 locale for the code-page tests")
add_custom_target(zh_cn_locale ALL DEPENDS ${LARKSPUR_LOCALE_DIR}/zh_CN.UTF-8/LC_CTYPE)
add_test(NAME wine.hosts_page_test.cp936 COMMAND hosts_page_test --gtest_filter=CodePage936.*)
set_tests_properties(wine.hosts_page_test.cp936 PROPERTIES
  ENVIRONMENT "${LARKSPUR_TEST_ENV};LC_ALL=zh_CN.UTF-8;LOCPATH=${LARKSPUR_LOCALE_DIR}" FIXTURES_REQUIRED wine_template)
