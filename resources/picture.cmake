# The start-up animation "PCGIF" 156, made from the banner bitmap.
add_custom_command(OUTPUT ${GENERATED}/startup.gif
  COMMAND ${LARKSPUR_SOURCE_DIR}/tools/make-animation ${GENERATED}/banner.bmp ${GENERATED}/startup.gif
  DEPENDS ${LARKSPUR_SOURCE_DIR}/tools/make-animation ${GENERATED}/banner.bmp
  COMMENT "Drawing the start-up animation")
list(APPEND LARKSPUR_RESOURCE_FILES ${GENERATED}/startup.gif)
