# The hive tool and the Safe Mode hive images it writes, built natively for the host tests.
include(${LARKSPUR_SOURCE_DIR}/resources/safeboot/images.cmake)
add_executable(make-hive ${LARKSPUR_HIVE_TOOL_SOURCES})
larkspur_safeboot_images(TOOL $<TARGET_FILE:make-hive> OUTPUT_DIR ${LARKSPUR_HOST_SAFEBOOT_DIR}
  FILES_VAR LARKSPUR_HOST_SAFEBOOT_FILES DEPENDS make-hive)
add_custom_target(safeboot_images ALL DEPENDS ${LARKSPUR_HOST_SAFEBOOT_FILES})
