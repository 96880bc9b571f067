set(CMAKE_C_COMPILER ${ORVANE_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ORVANE_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${ORVANE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The API level of Windows NT 4.0 (Windows 95 has no level of its own), so that
# the headers declare nothing newer; tests/imports holds the imports to what
# Windows 95 and NT 4.0 export.
add_compile_definitions(_WIN32_WINNT=0x0400 WINVER=0x0400)
# A build anyone can check: two builds of one commit give the same bytes,
# whenever and wherever they run. The linker writes no time stamp into the PE
# header; paths under the source folder are written relative to it (the
# contract program's messages name their source file); __DATE__ and __TIME__
# are refused (-Wdate-time, an error under -Werror).
# Options, not the cached flag variables, so that a build folder configured
# before them gets them too.
get_filename_component(ORVANE_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
add_compile_options(-ffile-prefix-map=${ORVANE_SOURCE_ROOT}/= -Wdate-time)
add_link_options(-Wl,--no-insert-timestamp)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
