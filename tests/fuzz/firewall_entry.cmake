larkspur_fuzz_target(firewall_entry_fuzz ${LARKSPUR_SOURCE_DIR}/tests/fuzz/firewall_entry_fuzz.cpp
  ${LARKSPUR_SOURCE_DIR}/repair/firewall_entry.cpp)
