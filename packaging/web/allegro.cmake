# SPDX-License-Identifier: MIT
# Allegro for the browser build: the library's portable core, compiled here
# from the source tools/allegro_source.sh unpacks into ZARN_ALLEGRO_SOURCE. Its own
# CMake build looks for threads and a real-time library the browser lacks, so
# the files are named below and built with the configuration headers and
# driver lists beside this file; no source file of the library is changed. The library takes the name of the
# Linux build's pkg-config target, so that the rules of the top
# CMakeLists.txt serve every system.
set(ZARN_ALLEGRO_SOURCE "" CACHE PATH "Allegro's unpacked source (tools/web.sh)")
if(NOT EXISTS ${ZARN_ALLEGRO_SOURCE}/src/allegro.c)
  message(FATAL_ERROR "No Allegro source in ZARN_ALLEGRO_SOURCE='${ZARN_ALLEGRO_SOURCE}': "
                      "build for the browser with tools/web.sh")
endif()
# A library tools/web.sh built before from the same source, rules and
# compiler, kept outside the tree: a fresh checkout then compiles only the
# game.
set(ZARN_ALLEGRO_LIBRARY "" CACHE FILEPATH "zarn_allegro as built before (tools/web.sh keeps it)")
if(ZARN_ALLEGRO_LIBRARY)
  add_library(zarn_allegro STATIC IMPORTED)
  set_target_properties(zarn_allegro PROPERTIES IMPORTED_LOCATION ${ZARN_ALLEGRO_LIBRARY})
  target_include_directories(zarn_allegro SYSTEM INTERFACE ${CMAKE_CURRENT_LIST_DIR}/allegro/include
                                                           ${ZARN_ALLEGRO_SOURCE}/include)
  add_library(PkgConfig::ALLEGRO ALIAS zarn_allegro)
  return()
endif()
enable_language(C)
# Only the files the page and the replay tool link, out of the portable
# core's 99 (cmake/FileList.cmake): each costs emscripten most of a second to
# compile, and the rest would only be left out of the link. A link that
# misses a function of the library names it; its file belongs here then.
set(allegro_files
  allegro.c blit.c bmp.c colblend.c color.c config.c datafile.c dataregi.c
  dispsw.c file.c flood.c font.c fontbios.c fontbmp.c fontdat.c fontgrx.c
  fonttxt.c gfx.c glyph.c graphics.c gsprite.c joystick.c keyboard.c lbm.c
  libc.c lzss.c midi.c mixer.c mouse.c pcx.c poly3d.c polygon.c quantize.c
  readbmp.c readfont.c readsmp.c rle.c rotate.c sound.c spline.c text.c tga.c
  timer.c unicode.c vtable.c vtable8.c
  c/cblit8.c c/ccpu.c c/ccsprite.c c/cgfx8.c c/cmisc.c c/cscan8.c c/cspr8.c
  c/czscan8.c
  unix/ufile.c)
list(TRANSFORM allegro_files PREPEND ${ZARN_ALLEGRO_SOURCE}/src/)
add_library(zarn_allegro STATIC ${allegro_files} ${CMAKE_CURRENT_LIST_DIR}/allegro/drivers.c)
target_include_directories(zarn_allegro SYSTEM PUBLIC ${CMAKE_CURRENT_LIST_DIR}/allegro/include
                                                      ${ZARN_ALLEGRO_SOURCE}/include)
target_compile_definitions(zarn_allegro PRIVATE ALLEGRO_SRC)
# Not our code: its warnings are not ours to mend.
target_compile_options(zarn_allegro PRIVATE -w)
add_library(PkgConfig::ALLEGRO ALIAS zarn_allegro)
