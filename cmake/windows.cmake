# The two Windows programs and the tests that run under Wine.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
set(LARKSPUR_STATIC_LINK -static -static-libgcc -static-libstdc++)
# The same sources give the same bytes, in any folder and on any day: no build path (the build
# folder's mapping last, so that it wins when it lies inside the sources), no date or time macro,
# no time stamp in the PE header.
add_compile_options(-ffile-prefix-map=${LARKSPUR_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build
  -Werror=date-time)
add_link_options(-Wl,--no-insert-timestamp)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
# The shipped programs carry no debug sections or symbols (the static runtimes bring most of them);
# the tests keep theirs, for their backtraces.
set(LARKSPUR_SHIP_LINK -Wl,--strip-all)

add_subdirectory(resources)
add_subdirectory(updater)

# Everything of Larkspur but its entry point, so that tests drive the real pages.
file(GLOB LARKSPUR_CORE_SOURCES CONFIGURE_DEPENDS
  ${LARKSPUR_SOURCE_DIR}/framework/*.cpp
  ${LARKSPUR_SOURCE_DIR}/backup/*.cpp
  ${LARKSPUR_SOURCE_DIR}/repair/*.cpp
  ${LARKSPUR_SOURCE_DIR}/pages/*.cpp
  ${LARKSPUR_SOURCE_DIR}/report/*.cpp
  ${LARKSPUR_SOURCE_DIR}/app/*.cpp)
list(REMOVE_ITEM LARKSPUR_CORE_SOURCES ${LARKSPUR_SOURCE_DIR}/app/main.cpp)
add_library(larkspur_core STATIC ${LARKSPUR_CORE_SOURCES})
target_include_directories(larkspur_core PUBLIC ${LARKSPUR_SOURCE_DIR} ${LARKSPUR_SOURCE_DIR}/resources)
# RapidJSON (header-only, Debian's rapidjson-dev): its own folder, reached through a link in the build
# folder, so that none of the host's other headers is seen by the cross compiler.
find_path(LARKSPUR_RAPIDJSON_ROOT rapidjson/reader.h PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/third_party)
file(CREATE_LINK ${LARKSPUR_RAPIDJSON_ROOT}/rapidjson ${CMAKE_BINARY_DIR}/third_party/rapidjson SYMBOLIC)
target_include_directories(larkspur_core SYSTEM PUBLIC ${CMAKE_BINARY_DIR}/third_party)
target_compile_definitions(larkspur_core PUBLIC
  LARKSPUR_UPDATE_HOST=L"${LARKSPUR_UPDATE_HOST}"
  LARKSPUR_PRODUCT_HOST=L"${LARKSPUR_PRODUCT_HOST}")
# Only KnownDLLs, ntdll and comctl32 (through the manifest): crypt32, version and wintrust are
# loaded at run time from the system folder (framework/system_library.h).
target_link_libraries(larkspur_core PUBLIC
  comctl32 shlwapi shell32 ole32 oleaut32 uuid advapi32 user32 gdi32 comdlg32 ntdll)

add_executable(Larkspur WIN32 app/main.cpp $<TARGET_OBJECTS:larkspur_resources>)
target_link_libraries(Larkspur PRIVATE larkspur_core ${LARKSPUR_STATIC_LINK} ${LARKSPUR_SHIP_LINK} -municode)
set_target_properties(Larkspur PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LARKSPUR_BIN_DIR})

include(cmake/wine-tests.cmake)

# The programs' bytes depend on their sources alone: a second build of both in another folder, a day
# later, must give the same files, and so the same published package. It builds with all cores.
add_test(NAME dist.reproducible COMMAND ${LARKSPUR_SOURCE_DIR}/scripts/check-reproducible)
set_tests_properties(dist.reproducible PROPERTIES RUN_SERIAL TRUE)
