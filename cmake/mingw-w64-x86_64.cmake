# Cross toolchain: mingw-w64, posix thread model, producing PE64 binaries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DL_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests run under Wine through a wrapper that adds a time-out and keeps artefacts of failures.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
