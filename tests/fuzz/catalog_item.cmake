larkspur_fuzz_target(catalog_item_fuzz ${LARKSPUR_SOURCE_DIR}/tests/fuzz/catalog_item_fuzz.cpp
  ${LARKSPUR_SOURCE_DIR}/repair/catalog_item.cpp)
