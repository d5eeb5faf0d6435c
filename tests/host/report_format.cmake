larkspur_host_test(report_format_test ${LARKSPUR_SOURCE_DIR}/tests/host/report_format_test.cpp
  ${LARKSPUR_SOURCE_DIR}/report/report_format.cpp)
