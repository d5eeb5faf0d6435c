larkspur_fuzz_target(extension_settings_fuzz ${LARKSPUR_SOURCE_DIR}/tests/fuzz/extension_settings_fuzz.cpp
  ${LARKSPUR_SOURCE_DIR}/repair/extension_json.cpp)
