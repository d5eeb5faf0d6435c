larkspur_host_test(firewall_entry_test ${LARKSPUR_SOURCE_DIR}/tests/host/firewall_entry_test.cpp
  ${LARKSPUR_SOURCE_DIR}/repair/firewall_entry.cpp)
