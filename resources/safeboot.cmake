# Safe Mode hive images ("SAFEBOOT" 144 to 148) for the Windows build.
# The hive tool is a host program: it is compiled here with the host's own compiler, so that a
# fresh checkout builds the Windows preset without the host preset having been built first.
include(${CMAKE_CURRENT_LIST_DIR}/safeboot/images.cmake)

find_program(LARKSPUR_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(LARKSPUR_HIVE_TOOL ${CMAKE_CURRENT_BINARY_DIR}/host-tools/make-hive)
add_custom_command(OUTPUT ${LARKSPUR_HIVE_TOOL}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/host-tools
  COMMAND ${LARKSPUR_HOST_CXX} -std=c++20 -O2 -I${LARKSPUR_SOURCE_DIR} -o ${LARKSPUR_HIVE_TOOL}
          ${LARKSPUR_HIVE_TOOL_SOURCES}
  DEPENDS ${LARKSPUR_HIVE_TOOL_SOURCES} ${LARKSPUR_SOURCE_DIR}/tools/hive/registry_tree.h
  COMMENT "Building the hive tool for the host"
  VERBATIM)

larkspur_safeboot_images(TOOL ${LARKSPUR_HIVE_TOOL} OUTPUT_DIR ${GENERATED}/safeboot
  FILES_VAR LARKSPUR_SAFEBOOT_FILES DEPENDS ${LARKSPUR_HIVE_TOOL})
list(APPEND LARKSPUR_RESOURCE_FILES ${LARKSPUR_SAFEBOOT_FILES})
