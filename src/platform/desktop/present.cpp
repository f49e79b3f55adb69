// SPDX-License-Identifier: MIT
// The picture on the screen. The frame is enlarged through a palette lookup
// straight into a bitmap of the screen's own depth, so the X11 driver only
// copies instead of turning every 8-bit pixel into the desktop's format, and
// only the rows that changed since the last frame are enlarged and sent
// (present_core.cpp): the title and the pages, still most of the time, then
// cost nearly nothing. tools/bench.sh measures the game's share of a core on
// each screen. The lookup is rebuilt only when the palette changed.
#include "platform/desktop/desktop.h"
#include "platform/palette_widen.h"
#include "platform/present_core.h"

#include <cstdint>
#include <cstring>

namespace {

// Where the enlarged frame goes on the screen.
struct Shown {
  int scale, x, y;
  BITMAP *big; // null: an 8-bit screen of the frame's size takes it as it is
} shown;

struct Rgb24 {
  unsigned char b[3];
};
unsigned char lut8[256];
uint16_t lut16[256];
Rgb24 lut24[256];
uint32_t lut32[256];

// Whether an 8-bit screen's pixels are the palette's own indices: the
// library then shows them in the palette's colours.
bool screen_takes_indices() {
#ifdef ALLEGRO_WITH_XWINDOWS
  return !x11_shared_colours();
#else
  return true;
#endif
}

// The pixel that shows palette entry i, of the colour r, g, b (8 bits each).
int screen_pixel(int depth, int i, int r, int g, int b, SharedTable *table) {
  if (depth != 8)
    return makecol_depth(depth, r, g, b);
#ifdef ALLEGRO_WITH_XWINDOWS
  if (x11_shared_colours())
    return x11_shared_pixel(r, g, b, table);
#else
  (void)table;
#endif
  return i;
}

void build_lookup(int depth) {
  SharedTable table{};
  for (int i = 0; i < 256; i++) {
    const RGB &p = shown_frame.palette[i];
    int c = screen_pixel(depth, i, palette_widen(p.r), palette_widen(p.g),
                         palette_widen(p.b), &table);
    lut8[i] = static_cast<unsigned char>(c);
    lut16[i] = static_cast<uint16_t>(c);
    lut24[i] = {{static_cast<unsigned char>(c),
                 static_cast<unsigned char>(c >> 8),
                 static_cast<unsigned char>(c >> 16)}};
    lut32[i] = static_cast<uint32_t>(c);
  }
}

template <typename Pixel> void enlarge_row(int y, const Pixel *lut) {
  int k = shown.scale;
  Pixel *out = reinterpret_cast<Pixel *>(shown.big->line[y * k]);
  for (int x = 0; x < FRAME_W; x++) {
    Pixel p = lut[shown_frame.pixels[y][x]];
    for (int i = 0; i < k; i++)
      *out++ = p;
  }
  for (int r = 1; r < k; r++)
    memcpy(shown.big->line[y * k + r], shown.big->line[y * k],
           sizeof(Pixel) * FRAME_W * static_cast<size_t>(k));
}

void enlarge_row(int y) {
  switch (bitmap_color_depth(shown.big)) {
  case 8:
    enlarge_row(y, lut8);
    break;
  case 15:
  case 16:
    enlarge_row(y, lut16);
    break;
  case 24:
    enlarge_row(y, lut24);
    break;
  default:
    enlarge_row(y, lut32);
    break;
  }
}

void present(BITMAP *frame) {
  if (shown.big == nullptr) {
    blit(frame, screen, 0, 0, shown.x, shown.y, FRAME_W, FRAME_H);
    return;
  }
  if (!shown_frame_take(frame))
    return;
  if (shown_frame.new_palette)
    build_lookup(bitmap_color_depth(shown.big));
  for (int y = shown_frame.top; y <= shown_frame.bottom; y++)
    if (shown_frame.row_changed[y])
      enlarge_row(y);
  // One blit of the rows that changed: one image sent to the display, so a
  // frame never shows half drawn.
  int k = shown.scale;
  blit(shown.big, screen, 0, shown_frame.top * k, shown.x,
       shown.y + shown_frame.top * k, FRAME_W * k,
       (shown_frame.bottom - shown_frame.top + 1) * k);
}

} // namespace

int start_showing(int scale) {
  if (shown.big != nullptr)
    destroy_bitmap(shown.big);
  shown.big = nullptr;
  shown.scale = scale;
  shown.x = (SCREEN_W - FRAME_W * scale) / 2;
  shown.y = (SCREEN_H - FRAME_H * scale) / 2;
  shown_frame_forget();
  int depth = bitmap_color_depth(screen);
  // Black, entry 0 of both the game's palettes.
  SharedTable table{};
  clear_to_color(screen, screen_pixel(depth, 0, 0, 0, 0, &table));
  if (scale == 1 && depth == 8 && screen_takes_indices())
    return 0;
  shown.big = create_bitmap_ex(depth, FRAME_W * scale, FRAME_H * scale);
  return shown.big != nullptr ? 0 : -1;
}

void platform_present(BITMAP *frame) {
  long long begin = timing_present_begin();
  present(frame);
  timing_present_end(begin);
}
