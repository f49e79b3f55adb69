// SPDX-License-Identifier: MIT
#include "core/draw_text.h"

#include "core/game_state.h"

#include <cstdarg>
#include <cstdio>

namespace {

void draw_formatted(BITMAP *bmp, int x, int y, int colour, bool centre,
                    const char *fmt, va_list ap) {
  char text[256];
  vsnprintf(text, sizeof text, fmt, ap);
  if (centre)
    textout_centre_ex(bmp, game_font, text, x, y, colour, 0);
  else
    textout_ex(bmp, game_font, text, x, y, colour, 0);
}

} // namespace

void draw_text(BITMAP *bmp, int x, int y, int colour, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  draw_formatted(bmp, x, y, colour, false, fmt, ap);
  va_end(ap);
}

void draw_text_centre(BITMAP *bmp, int x, int y, int colour, const char *fmt,
                      ...) {
  va_list ap;
  va_start(ap, fmt);
  draw_formatted(bmp, x, y, colour, true, fmt, ap);
  va_end(ap);
}
