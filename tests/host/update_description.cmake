larkspur_host_test(update_description_test ${LARKSPUR_SOURCE_DIR}/tests/host/update_description_test.cpp
  ${LARKSPUR_SOURCE_DIR}/updater/update_description.cpp)
