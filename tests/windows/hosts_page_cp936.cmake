# The HOSTS page under code page 936: the same executable, its code-page cases only, in the
# locale that makes Wine report 936.
add_test(NAME wine.hosts_page_test.cp936 COMMAND hosts_page_test --gtest_filter=CodePage936.*)
set_tests_properties(wine.hosts_page_test.cp936 PROPERTIES
  ENVIRONMENT "${LARKSPUR_TEST_ENV};LC_ALL=zh_CN.UTF-8" FIXTURES_REQUIRED wine_template)
