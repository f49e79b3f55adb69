# SPDX-License-Identifier: MIT
# Allegro for the Windows build: the static library that tools/windows.sh
# cross-builds into ZARN_ALLEGRO_PREFIX (Windows has no pkg-config). It takes
# the name of the Linux build's pkg-config target, so that the rules of the
# top CMakeLists.txt serve both systems.
set(ZARN_ALLEGRO_PREFIX "" CACHE PATH "The static Allegro built by tools/windows.sh")
if(NOT EXISTS ${ZARN_ALLEGRO_PREFIX}/lib/liballeg.a)
  message(FATAL_ERROR "No static Allegro in ZARN_ALLEGRO_PREFIX='${ZARN_ALLEGRO_PREFIX}': "
                      "build for Windows with tools/windows.sh")
endif()
add_library(PkgConfig::ALLEGRO INTERFACE IMPORTED)
target_include_directories(PkgConfig::ALLEGRO INTERFACE ${ZARN_ALLEGRO_PREFIX}/include)
target_compile_definitions(PkgConfig::ALLEGRO INTERFACE ALLEGRO_STATICLINK)
target_link_libraries(PkgConfig::ALLEGRO INTERFACE ${ZARN_ALLEGRO_PREFIX}/lib/liballeg.a
  kernel32 user32 gdi32 comdlg32 ole32 dinput ddraw dxguid winmm dsound)
