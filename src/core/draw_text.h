// SPDX-License-Identifier: MIT
#ifndef ZARN_DRAW_TEXT_H
#define ZARN_DRAW_TEXT_H

#include <allegro.h>

// Every text of the game, in its font, drawn opaque on colour 0 (the
// library's default text mode): the cell behind each character is cleared.
void draw_text(BITMAP *bmp, int x, int y, int colour, const char *fmt, ...);
void draw_text_centre(BITMAP *bmp, int x, int y, int colour, const char *fmt,
                      ...);

#endif
