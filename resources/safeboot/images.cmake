# The Safe Mode hive images: source text, resource id and exact size in bytes of each.
include_guard(GLOBAL)
set(LARKSPUR_SAFEBOOT_IMAGES
  "win2000:144:28672"
  "winxp:145:28672"
  "win2003:146:28672"
  "winvista:147:32768"
  "win7:148:36864")
set(LARKSPUR_HIVE_TOOL_SOURCES
  ${LARKSPUR_SOURCE_DIR}/tools/hive/make_hive.cpp
  ${LARKSPUR_SOURCE_DIR}/tools/hive/reg_text.cpp
  ${LARKSPUR_SOURCE_DIR}/tools/hive/hive_writer.cpp)
# Where the host build writes them for its tests.
set(LARKSPUR_HOST_SAFEBOOT_DIR ${CMAKE_BINARY_DIR}/safeboot)

# larkspur_safeboot_images(TOOL tool OUTPUT_DIR dir FILES_VAR var [DEPENDS ...]): custom commands
# that write every image with the hive tool; `var` gets the list of image files.
function(larkspur_safeboot_images)
  cmake_parse_arguments(ARG "" "TOOL;OUTPUT_DIR;FILES_VAR" "DEPENDS" ${ARGN})
  set(files)
  foreach(entry ${LARKSPUR_SAFEBOOT_IMAGES})
    string(REPLACE ":" ";" fields ${entry})
    list(GET fields 0 name)
    list(GET fields 2 size)
    set(source ${LARKSPUR_SOURCE_DIR}/resources/safeboot/${name}.reg)
    set(image ${ARG_OUTPUT_DIR}/${name}.hiv)
    add_custom_command(OUTPUT ${image}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_OUTPUT_DIR}
      COMMAND ${ARG_TOOL} ${source} ${image} ${size}
      DEPENDS ${source} ${ARG_DEPENDS}
      COMMENT "Writing the Safe Mode hive ${name}.hiv"
      VERBATIM)
    list(APPEND files ${image})
  endforeach()
  set(${ARG_FILES_VAR} ${files} PARENT_SCOPE)
endfunction()
