// SPDX-License-Identifier: MIT
// The picture in the page: each frame through the palette into the page's
// canvas, made the frame's size at every mode set, which the page enlarges
// by a whole number with every pixel a sharp square. Only the rows that
// changed are converted (present_core.cpp), the page copies only the band
// from the first to the last of them, and a frame that shows nothing new is
// not sent.
#include "platform/web/web.h"

#include "platform/palette_widen.h"
#include "platform/present_core.h"

#include <emscripten.h>

#include <cstdint>

namespace {

EM_JS(int, page_can_show, (), { return Page.canShow(); });
EM_JS(int, page_full_screen_asked, (), { return Page.fullScreenAsked(); });
EM_JS(void, page_show, (const uint32_t *rgba, int top, int rows),
      { Page.show(rgba, top, rows); });
EM_JS(void, page_clear, (int w, int h), { Page.clear(w, h); });

uint32_t lookup[256];
uint32_t rgba[FRAME_H * FRAME_W];

// Bytes in memory red, green, blue, opaque: the canvas's own order.
void build_lookup() {
  for (int i = 0; i < 256; i++) {
    const RGB &p = shown_frame.palette[i];
    lookup[i] = static_cast<uint32_t>(palette_widen(p.r)) |
                static_cast<uint32_t>(palette_widen(p.g)) << 8 |
                static_cast<uint32_t>(palette_widen(p.b)) << 16 | 0xff000000u;
  }
}

} // namespace

// Every mode is the page itself. Full screen is asked for by the page when
// the prompt's 1 goes down, inside the key's handler, the one moment a
// browser grants it; the game plays in the page where it was not asked or
// the browser leaves it.
int platform_set_gfx_mode(GfxRole role) {
  if (!page_can_show())
    return -1;
  if (role == GFX_ROLE_FULLSCREEN && !page_full_screen_asked())
    return -1;
  page_clear(FRAME_W, FRAME_H);
  shown_frame_forget();
  return 0;
}

namespace {

void present(BITMAP *frame) {
  if (!shown_frame_take(frame))
    return;
  if (shown_frame.new_palette)
    build_lookup();
  for (int y = shown_frame.top; y <= shown_frame.bottom; y++) {
    if (!shown_frame.row_changed[y])
      continue;
    for (int x = 0; x < FRAME_W; x++)
      rgba[y * FRAME_W + x] = lookup[shown_frame.pixels[y][x]];
  }
  page_show(rgba, shown_frame.top, shown_frame.bottom - shown_frame.top + 1);
}

} // namespace

void platform_present(BITMAP *frame) {
  long long begin = timing_present_begin();
  present(frame);
  timing_present_end(begin);
}
