/* SPDX-License-Identifier: MIT */
/* What the browser build's C library has, in place of the header Allegro's
   own configuration writes. One thread, no X11, no loadable modules, and
   only the 8-bit colour depth the game draws in: the page makes its own
   colours from the palette. */
#define ALLEGRO_COLOR8

#define ALLEGRO_HAVE_DIRENT_H
#define ALLEGRO_HAVE_INTTYPES_H
#define ALLEGRO_HAVE_STDINT_H
#define ALLEGRO_HAVE_SYS_STAT_H
#define ALLEGRO_HAVE_SYS_TIME_H
#define ALLEGRO_HAVE_SYS_UTSNAME_H

#define ALLEGRO_HAVE_MEMCMP
#define ALLEGRO_HAVE_MKSTEMP

#define ALLEGRO_LITTLE_ENDIAN
#define ALLEGRO_NO_ASM

#define RETSIGTYPE void
