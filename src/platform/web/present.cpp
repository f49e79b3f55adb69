// SPDX-License-Identifier: MIT
// The picture in the page: each frame through the palette into the page's
// 320x240 canvas, which the page enlarges by a whole number with every pixel
// a sharp square. A frame that shows nothing new is not sent.
#include "platform/web/web.h"

#include "platform/palette_widen.h"

#include <emscripten.h>

#include <cstdint>
#include <cstring>

namespace {

EM_JS(int, page_can_show, (), { return Page.canShow(); });
EM_JS(int, page_full_screen_asked, (), { return Page.fullScreenAsked(); });
EM_JS(void, page_show, (const uint32_t *rgba), { Page.show(rgba); });
EM_JS(void, page_clear, (), { Page.clear(); });

struct Shown {
  PALETTE palette;
  unsigned char pixels[FRAME_H][FRAME_W];
  bool valid;
} shown;

uint32_t lookup[256];
uint32_t rgba[FRAME_H * FRAME_W];

// Bytes in memory red, green, blue, opaque: the canvas's own order.
void build_lookup() {
  for (int i = 0; i < 256; i++) {
    const RGB &p = shown.palette[i];
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
  page_clear();
  shown.valid = false;
  return 0;
}

namespace {

void present(BITMAP *frame) {
  bool all = !shown.valid ||
             memcmp(shown.palette, _current_palette, sizeof(PALETTE)) != 0;
  if (all) {
    memcpy(shown.palette, _current_palette, sizeof(PALETTE));
    build_lookup();
  }
  bool changed = all;
  for (int y = 0; y < FRAME_H; y++) {
    if (!all && memcmp(shown.pixels[y], frame->line[y], FRAME_W) == 0)
      continue;
    memcpy(shown.pixels[y], frame->line[y], FRAME_W);
    for (int x = 0; x < FRAME_W; x++)
      rgba[y * FRAME_W + x] = lookup[shown.pixels[y][x]];
    changed = true;
  }
  shown.valid = true;
  if (changed)
    page_show(rgba);
}

} // namespace

void platform_present(BITMAP *frame) {
  long long begin = timing_present_begin();
  present(frame);
  timing_present_end(begin);
}
