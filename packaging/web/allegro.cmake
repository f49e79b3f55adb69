# SPDX-License-Identifier: MIT
# Allegro for the browser build: the library's portable core, compiled here
# from the source tools/web.sh unpacks into ZARN_ALLEGRO_SOURCE. Its own
# CMake build looks for threads and a real-time library the browser lacks, so
# the files are taken from its list of sources (cmake/FileList.cmake) and
# built with the configuration headers and driver lists beside this file; no
# source file of the library is changed. The library takes the name of the
# Linux build's pkg-config target, so that the rules of the top
# CMakeLists.txt serve every system.
set(ZARN_ALLEGRO_SOURCE "" CACHE PATH "Allegro's unpacked source (tools/web.sh)")
if(NOT EXISTS ${ZARN_ALLEGRO_SOURCE}/cmake/FileList.cmake)
  message(FATAL_ERROR "No Allegro source in ZARN_ALLEGRO_SOURCE='${ZARN_ALLEGRO_SOURCE}': "
                      "build for the browser with tools/web.sh")
endif()
enable_language(C)
include(${ZARN_ALLEGRO_SOURCE}/cmake/FileList.cmake)
set(allegro_files ${ALLEGRO_SRC_FILES} ${ALLEGRO_SRC_C_FILES} src/unix/ufile.c)
list(TRANSFORM allegro_files PREPEND ${ZARN_ALLEGRO_SOURCE}/)
add_library(zarn_allegro STATIC ${allegro_files} ${CMAKE_CURRENT_LIST_DIR}/allegro/drivers.c)
target_include_directories(zarn_allegro SYSTEM PUBLIC ${CMAKE_CURRENT_LIST_DIR}/allegro/include
                                                      ${ZARN_ALLEGRO_SOURCE}/include)
target_compile_definitions(zarn_allegro PRIVATE ALLEGRO_SRC)
# Not our code: its warnings are not ours to mend.
target_compile_options(zarn_allegro PRIVATE -w)
add_library(PkgConfig::ALLEGRO ALIAS zarn_allegro)
