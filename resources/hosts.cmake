# The default HOSTS text (plain ASCII, CRLF) carried as resource "HOST" 140.
list(APPEND LARKSPUR_RESOURCE_FILES ${CMAKE_CURRENT_SOURCE_DIR}/default_hosts.txt)
