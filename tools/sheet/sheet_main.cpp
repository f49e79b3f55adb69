// SPDX-License-Identifier: MIT
// zarn-sheet: draws everything in a built zarn.dat on one picture, to look
// at the pack as the game gets it: every picture enlarged with its index and
// name, the two backgrounds, the font, the palette as a grid and every sample
// as a waveform with its length. It reads the pack with the library's own
// loader, not the game's, so it also shows what a damaged pack holds.
//
//   zarn-sheet PACK OUT.bmp
#include "core/playfield_layout.h"

#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

const int kWidth = 1320;
const int kMargin = 12;
const char *kPassword = ZARN_PACK_PASSWORD;

// Colours of the sheet itself, outside the pack's palette.
int ground, see_through, label, heading, wave_colour, axis;

FONT *pack_font(DATAFILE *pack) {
  for (int i = 0; pack[i].type != DAT_END; i++)
    if (pack[i].type == DAT_FONT)
      return static_cast<FONT *>(pack[i].dat);
  return font; // the library's own, when the pack has none
}

// The object's name without the "NN_" that only orders the pack's sources.
const char *name_of(DATAFILE *d) {
  const char *n = get_datafile_property(d, DAT_NAME);
  if (n == nullptr || *n == '\0')
    return "?";
  const char *p = n;
  while (*p >= '0' && *p <= '9')
    p++;
  return p != n && *p == '_' ? p + 1 : n;
}

// An 8-bit picture enlarged onto the true-colour sheet, colour 0 shown as
// the see-through colour so the outline of masked pictures shows.
void draw_scaled(BITMAP *sheet, BITMAP *b, const RGB *pal, int x0, int y0,
                 int scale, bool show_mask) {
  for (int y = 0; y < b->h; y++)
    for (int x = 0; x < b->w; x++) {
      int c = getpixel(b, x, y);
      int colour = c == 0 && show_mask
                       ? see_through
                       : makecol(pal[c].r * 255 / 63, pal[c].g * 255 / 63,
                                 pal[c].b * 255 / 63);
      rectfill(sheet, x0 + x * scale, y0 + y * scale,
               x0 + x * scale + scale - 1, y0 + y * scale + scale - 1, colour);
    }
}

// Lays cells out left to right, wrapping at the sheet's width.
struct Flow {
  int x = kMargin, y, row_h = 0;
  explicit Flow(int top) : y(top) {}
  void place(int w, int h, int *cx, int *cy) {
    if (x + w > kWidth - kMargin) {
      x = kMargin;
      y += row_h + kMargin;
      row_h = 0;
    }
    *cx = x;
    *cy = y;
    x += w + kMargin;
    row_h = std::max(row_h, h);
  }
  int bottom() const { return y + row_h + kMargin; }
};

int draw_heading(BITMAP *sheet, FONT *f, int y, const char *text) {
  textout_ex(sheet, f, text, kMargin, y, heading, -1);
  hline(sheet, kMargin, y + 12, kWidth - kMargin, heading);
  return y + 20;
}

int draw_pictures(BITMAP *sheet, DATAFILE *pack, const RGB *pal, FONT *f,
                  int y) {
  y = draw_heading(sheet, f, y, "PICTURES (x3, see-through colour 0 in teal)");
  Flow flow(y);
  for (int i = 0; pack[i].type != DAT_END; i++) {
    if (pack[i].type != DAT_BITMAP)
      continue;
    BITMAP *b = static_cast<BITMAP *>(pack[i].dat);
    if (b->w > 64 || b->h > 64)
      continue; // the screens, drawn on their own below
    char text[64];
    snprintf(text, sizeof text, "%02d %s", i, name_of(&pack[i]));
    int w = std::max(b->w * 3, text_length(f, text)), h = b->h * 3 + 12, cx, cy;
    flow.place(w, h, &cx, &cy);
    textout_ex(sheet, f, text, cx, cy, label, -1);
    draw_scaled(sheet, b, pal, cx, cy + 12, 3, true);
  }
  y = flow.bottom();
  y = draw_heading(sheet, f, y, "SCREENS (x2)");
  Flow screens(y);
  for (int i = 0; pack[i].type != DAT_END; i++) {
    if (pack[i].type != DAT_BITMAP)
      continue;
    BITMAP *b = static_cast<BITMAP *>(pack[i].dat);
    if (b->w <= 64 && b->h <= 64)
      continue;
    char text[64];
    snprintf(text, sizeof text, "%02d %s %dx%d", i, name_of(&pack[i]), b->w,
             b->h);
    int w = std::min(b->w * 2, 640), h = std::min(b->h * 2, 480), cx, cy;
    screens.place(w, h + 12, &cx, &cy);
    textout_ex(sheet, f, text, cx, cy, label, -1);
    BITMAP *part = create_sub_bitmap(b, 0, 0, w / 2, h / 2);
    draw_scaled(sheet, part, pal, cx, cy + 12, 2, false);
    destroy_bitmap(part);
  }
  return screens.bottom();
}

int draw_font_and_palette(BITMAP *sheet, const RGB *pal, FONT *f, int y) {
  y = draw_heading(sheet, f, y,
                   "FONT 32..126 (x2) AND PALETTE (index = 16 x row + column)");
  // The font at twice its size, sixteen characters to a row.
  BITMAP *cell = create_bitmap_ex(8, 8, 8);
  for (int c = 32; c < 127; c++) {
    char text[2] = {static_cast<char>(c), 0};
    clear_to_color(cell, 0);
    textout_ex(cell, f, text, 0, 0, COL_TEXT, 0);
    int col = (c - 32) % 16, row = (c - 32) / 16;
    draw_scaled(sheet, cell, pal, kMargin + col * 20, y + row * 20, 2, false);
  }
  destroy_bitmap(cell);
  // The palette, one swatch per entry.
  const int px = kMargin + 360, size = 18;
  for (int i = 0; i < 256; i++) {
    int x = px + (i % 16) * size, sy = y + (i / 16) * size;
    rectfill(
        sheet, x, sy, x + size - 2, sy + size - 2,
        makecol(pal[i].r * 255 / 63, pal[i].g * 255 / 63, pal[i].b * 255 / 63));
  }
  for (int row = 0; row < 16; row++) {
    char text[8];
    snprintf(text, sizeof text, "%3d", row * 16);
    textout_ex(sheet, f, text, px - 28, y + row * size + 5, label, -1);
  }
  return y + std::max(6 * 20, 16 * size) + kMargin;
}

int draw_samples(BITMAP *sheet, DATAFILE *pack, FONT *f, int y) {
  y = draw_heading(sheet, f, y, "SAMPLES (one pixel = 10 ms)");
  for (int i = 0; pack[i].type != DAT_END; i++) {
    if (pack[i].type != DAT_SAMPLE)
      continue;
    SAMPLE *s = static_cast<SAMPLE *>(pack[i].dat);
    double seconds = s->freq > 0 ? static_cast<double>(s->len) / s->freq : 0;
    char text[96];
    snprintf(text, sizeof text, "%02d %s  %.2f s  %d Hz  %d-bit %s", i,
             name_of(&pack[i]), seconds, s->freq, s->bits,
             s->stereo ? "stereo" : "mono");
    textout_ex(sheet, f, text, kMargin, y, label, -1);
    y += 10;
    // Each column shows the range of the samples in its 10 ms.
    const int mid = y + 16, per = std::max(1, s->freq / 100);
    const int columns =
        std::min<int>(kWidth - 2 * kMargin, static_cast<int>(s->len) / per + 1);
    hline(sheet, kMargin, mid, kMargin + columns, axis);
    for (int c = 0; c < columns; c++) {
      int lo = 255, hi = 0;
      for (unsigned long k = static_cast<unsigned long>(c) * per;
           k < s->len && k < static_cast<unsigned long>(c + 1) * per; k++) {
        int v = s->bits == 8
                    ? static_cast<const unsigned char *>(s->data)[k]
                    : static_cast<const unsigned short *>(s->data)[k] >> 8;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
      if (hi >= lo)
        vline(sheet, kMargin + c, mid - (hi - 128) / 8, mid - (lo - 128) / 8,
              wave_colour);
    }
    y += 40;
  }
  return y;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: zarn-sheet PACK OUT.bmp\n");
    return 2;
  }
  set_uformat(U_ASCII);
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
    return 1;
  set_color_depth(8);
  set_color_conversion(COLORCONV_NONE);
  packfile_password(kPassword);
  DATAFILE *pack = load_datafile(argv[1]);
  packfile_password(nullptr);
  if (pack == nullptr) {
    fprintf(stderr, "zarn-sheet: cannot load %s\n", argv[1]);
    return 1;
  }
  const RGB *pal = default_palette;
  for (int i = 0; pack[i].type != DAT_END; i++)
    if (pack[i].type == DAT_PALETTE) {
      pal = static_cast<const RGB *>(pack[i].dat);
      break;
    }
  FONT *f = pack_font(pack);

  set_color_depth(32);
  ground = makecol(24, 24, 32);
  see_through = makecol(0, 64, 72);
  label = makecol(220, 220, 220);
  heading = makecol(255, 200, 60);
  wave_colour = makecol(120, 220, 140);
  axis = makecol(70, 70, 90);
  BITMAP *sheet = create_bitmap(kWidth, 3000);
  clear_to_color(sheet, ground);
  int y = kMargin;
  y = draw_pictures(sheet, pack, pal, f, y);
  y = draw_font_and_palette(sheet, pal, f, y);
  y = draw_samples(sheet, pack, f, y);
  BITMAP *used = create_sub_bitmap(sheet, 0, 0, kWidth, std::min(y, sheet->h));
  int failed = save_bitmap(argv[2], used, nullptr);
  destroy_bitmap(used);
  destroy_bitmap(sheet);
  unload_datafile(pack);
  if (failed != 0) {
    fprintf(stderr, "zarn-sheet: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
