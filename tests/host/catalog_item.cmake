larkspur_host_test(catalog_item_test ${LARKSPUR_SOURCE_DIR}/tests/host/catalog_item_test.cpp
  ${LARKSPUR_SOURCE_DIR}/repair/catalog_item.cpp)
