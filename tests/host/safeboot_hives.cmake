# The Safe Mode hive images read back with hivex and compared with their .reg sources.
include(${LARKSPUR_SOURCE_DIR}/resources/safeboot/images.cmake)
larkspur_host_test(safeboot_hives_test ${LARKSPUR_SOURCE_DIR}/tests/host/safeboot_hives_test.cpp
  ${LARKSPUR_SOURCE_DIR}/tools/hive/reg_text.cpp ${LARKSPUR_SOURCE_DIR}/tools/hive/hive_writer.cpp)
target_compile_definitions(safeboot_hives_test PRIVATE
  LARKSPUR_SOURCE_DIR="${LARKSPUR_SOURCE_DIR}" SAFEBOOT_IMAGE_DIR="${LARKSPUR_HOST_SAFEBOOT_DIR}")
add_dependencies(safeboot_hives_test safeboot_images)
