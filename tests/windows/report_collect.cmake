# The signed and unsigned programs that stand for Winsock providers.
add_dependencies(report_collect_test trust_fixtures)
