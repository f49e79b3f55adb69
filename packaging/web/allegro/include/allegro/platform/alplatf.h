/* SPDX-License-Identifier: MIT */
/* Allegro's platform for the browser build: the portable C core on a
   Unix-like C library (emscripten's), without assembler. */
#define ALLEGRO_UNIX
#define ALLEGRO_NO_ASM
#define ALLEGRO_USE_C
