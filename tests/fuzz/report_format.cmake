larkspur_fuzz_target(report_format_fuzz ${LARKSPUR_SOURCE_DIR}/tests/fuzz/report_format_fuzz.cpp
  ${LARKSPUR_SOURCE_DIR}/report/report_format.cpp)
