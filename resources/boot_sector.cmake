# The standard boot code, a data file of resources/boot_sector.rc2.
list(APPEND LARKSPUR_RESOURCE_FILES ${CMAKE_CURRENT_SOURCE_DIR}/standard-boot-code.bin)
