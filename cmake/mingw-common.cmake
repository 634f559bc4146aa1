# Shared part of the MinGW-w64 toolchain files; TOLVAR_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${TOLVAR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVAR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVAR_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOLVAR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine; the wrapper picks the loader that fits the target.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
