# SPDX-License-Identifier: MIT
# Cross-building for 64-bit Windows with Debian's mingw-w64 compilers
# (g++-mingw-w64-x86-64-win32): for Allegro and for the game alike.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZARN_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZARN_MINGW}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ZARN_MINGW}-g++-win32)
set(CMAKE_RC_COMPILER ${ZARN_MINGW}-windres)

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZARN_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
