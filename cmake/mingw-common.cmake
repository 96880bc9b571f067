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
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
