// SPDX-License-Identifier: MIT
#include "scenes.h"

#include "core/pack_catalogue.h"
#include "core/playfield_layout.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace pack {

namespace {

// The art around the places the game draws at (core/playfield_layout.h):
// a girder's top row runs under the bottom edge of a barrel waiting on it,
// from the screen's edge to the far side of its stop.
constexpr int kStatusRows = STATUS_H;
constexpr int kRailLeft = 140; // ladder rails, two pixels each
constexpr int kRailRight = 180;
constexpr int kBarrelH = pack_catalogue[OBJ_BARREL_ROLL].h;
constexpr int kRightGirderX = STOP_X_RIGHT;
// The left girders and the lady's platform end under the left stop's last
// column.
constexpr int kLeftGirderEnd =
    STOP_X_LEFT + pack_catalogue[OBJ_BARREL_ROLL].w - 1;
constexpr int kPlatformY = HANDOVER_Y + kBarrelH; // the lady's platform
constexpr int kGirderHeight = 7;
constexpr int kBottomStrip = 205; // lost-barrel icons and bonus item

struct Rng {
  uint32_t state;
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int below(int n) {
    return static_cast<int>(next() % static_cast<uint32_t>(n));
  }
};

const Image &sprite(const Art &art, const std::string &name) {
  auto it = art.find(name);
  if (it == art.end())
    throw SourceError("the scenes need a picture named " + name);
  return it->second;
}

// A riveted steel girder whose top surface is row y, with a lattice web.
void draw_girder(Image &img, const Palette &pal, int x0, int x1, int y) {
  const uint8_t shine = pal.index("girder_shine"),
                light = pal.index("girder_light"), mid = pal.index("girder"),
                dark = pal.index("girder_dark"), rivet = pal.index("rivet");
  for (int x = x0; x <= x1; x++) {
    img.set(x, y, shine);
    img.set(x, y + 1, light);
    img.set(x, y + 5, mid);
    img.set(x, y + 6, dark);
    // The web between the flanges: zigzag bracing on a dark ground.
    const int p = (x - x0) % 8;
    for (int r = 0; r < 3; r++) {
      const bool brace = p == r + 1 || p == 7 - r;
      img.set(x, y + 2 + r, brace ? mid : dark);
    }
    if (p == 0) {
      img.set(x, y + 2, light);
      img.set(x, y + 3, mid);
      img.set(x, y + 4, mid);
    }
    if ((x - x0) % 16 == 4)
      img.set(x, y + 1, rivet);
  }
  // Cut ends catch no light.
  for (int r = 0; r < kGirderHeight; r++) {
    img.set(x0, y + r, r == 0 ? light : dark);
    img.set(x1, y + r, r == 0 ? light : dark);
  }
}

void draw_ladder(Image &img, const Palette &pal, int left, int right, int top,
                 int bottom, int rung_step) {
  const uint8_t light = pal.index("ladder_light"), mid = pal.index("ladder"),
                dark = pal.index("ladder_dark");
  for (int y = top; y <= bottom; y += rung_step)
    for (int x = left + 2; x <= right - 1; x++) {
      img.set(x, y, light);
      img.set(x, y + 1, dark);
    }
  for (int y = top - 2; y <= bottom; y++) {
    img.set(left, y, light);
    img.set(left + 1, y, mid);
    img.set(right, y, mid);
    img.set(right + 1, y, dark);
  }
}

// A narrow lattice column of girder steel, five pixels wide.
void draw_post(Image &img, const Palette &pal, int x, int top, int bottom) {
  const uint8_t light = pal.index("girder_light"), mid = pal.index("girder"),
                dark = pal.index("girder_dark");
  for (int y = top; y <= bottom; y++) {
    img.set(x, y, light);
    img.set(x + 4, y, dark);
    const int p = (y - top) % 8;
    for (int i = 1; i <= 3; i++)
      img.set(x + i, y, (p == i || p == 8 - i || p == 0) ? mid : 0);
  }
}

bool free_of(int x, int y, const int (*boxes)[4], int count) {
  for (int i = 0; i < count; i++)
    if (x >= boxes[i][0] && x <= boxes[i][2] && y >= boxes[i][1] &&
        y <= boxes[i][3])
      return false;
  return true;
}

// A sprinkle of stars kept out of the given boxes (x0, y0, x1, y1).
void draw_stars(Image &img, const Palette &pal, uint32_t seed, int count,
                int y0, int y1, const int (*keep_clear)[4], int boxes) {
  const uint8_t dim = pal.index("star_dim"), mid = pal.index("star"),
                bright = pal.index("star_bright");
  Rng rng{seed};
  for (int placed = 0, tries = 0; placed < count && tries < count * 50;
       tries++) {
    const int x = 2 + rng.below(img.w - 4), y = y0 + rng.below(y1 - y0 + 1);
    const int kind = rng.below(10);
    if (!free_of(x, y, keep_clear, boxes) ||
        !free_of(x - 2, y - 2, keep_clear, boxes) ||
        !free_of(x + 2, y + 2, keep_clear, boxes) || img.get(x, y) != 0)
      continue;
    placed++;
    if (kind < 6) {
      img.set(x, y, dim);
    } else if (kind < 9) {
      img.set(x, y, mid);
    } else {
      // A few twinkle as small crosses.
      img.set(x, y, bright);
      img.set(x - 1, y, dim);
      img.set(x + 1, y, dim);
      img.set(x, y - 1, dim);
      img.set(x, y + 1, dim);
    }
  }
}

void draw_moon(Image &img, const Palette &pal, int cx, int cy, int r) {
  const uint8_t lit = pal.index("moon"), shade = pal.index("moon_shade");
  for (int y = -r; y <= r; y++)
    for (int x = -r; x <= r; x++) {
      const double d = std::hypot(x, y);
      // The bite of a second disc, up and to the left, makes the crescent.
      const double bite = std::hypot(x + r * 0.55, y + r * 0.2);
      if (d > r + 0.3 || bite < r * 0.92)
        continue;
      const bool rim = bite < r * 1.12 || d > r - 0.9;
      img.set(cx + x, cy + y, rim ? shade : lit);
    }
}

// Blocks of a dim town on the horizon, with a few windows still lit.
void draw_town(Image &img, const Palette &pal, int x0, int x1, int ground,
               uint32_t seed) {
  const uint8_t town = pal.index("town"), edge = pal.index("town_edge"),
                window = pal.index("window");
  Rng rng{seed};
  for (int x = x0; x <= x1;) {
    const int w = 8 + rng.below(12), h = 10 + rng.below(26);
    const int top = ground - h;
    for (int y = top; y < ground; y++)
      for (int xx = x; xx < x + w && xx <= x1; xx++)
        img.set(xx, y, (y == top || xx == x) ? edge : town);
    for (int y = top + 3; y < ground - 3; y += 4)
      for (int xx = x + 2; xx < x + w - 2 && xx <= x1 - 1; xx += 3)
        if (rng.below(9) == 0)
          img.set(xx, y, window);
    x += w + rng.below(3);
  }
}

} // namespace

Image make_playfield(const Palette &pal) {
  Image img(320, 240, 0);
  const int keep_clear[][4] = {
      {0, 0, 319, kStatusRows + 1},                 // status line
      {0, 36, 54, 75},                              // the delivered stack
      {62, 28, 90, 75},                             // the lady and the heart
      {APE_X - 3, kStatusRows, kRightGirderX, 239}, // the ladder and the ape
      {0, kBottomStrip - 4, 319, 239}, // lost barrels, fires, bonus
  };
  const int boxes = static_cast<int>(sizeof keep_clear / sizeof keep_clear[0]);
  draw_stars(img, pal, 0x5EEDu, 70, 10, 196, keep_clear, boxes);
  draw_moon(img, pal, 290, 24, 10);
  // The town stands on the horizon behind the lowest girders.
  // The girders of the right-hand lanes, the highest and the lowest.
  int top_girder = 239, low_girder = 0;
  for (int lane = 0; lane < NUM_LANES; lane++)
    if (layout::lane_dir[lane] < 0) {
      top_girder = std::min(top_girder, layout::lane_y[lane] + kBarrelH);
      low_girder = std::max(low_girder, layout::lane_y[lane] + kBarrelH);
    }
  draw_town(img, pal, 0, 319, low_girder, 0xC17Du);
  draw_ladder(img, pal, kRailLeft, kRailRight, kStatusRows + 4, 239, 8);
  // Posts at the screen edges carry the girders.
  draw_post(img, pal, 2, kPlatformY + kGirderHeight, kBottomStrip + 2);
  draw_post(img, pal, 313, top_girder + kGirderHeight, kBottomStrip + 2);
  draw_girder(img, pal, 0, kLeftGirderEnd, kPlatformY);
  for (int lane = 0; lane < NUM_LANES; lane++)
    if (layout::lane_dir[lane] > 0)
      draw_girder(img, pal, 0, kLeftGirderEnd, layout::lane_y[lane] + kBarrelH);
  for (int lane = 0; lane < NUM_LANES; lane++)
    if (layout::lane_dir[lane] < 0)
      draw_girder(img, pal, kRightGirderX, 319,
                  layout::lane_y[lane] + kBarrelH);
  // The bottom strip stays black below the lowest girders.
  for (int y = kBottomStrip + 3; y < 240; y++)
    for (int x = 0; x < 320; x++)
      if (x < kRailLeft || x > kRailRight + 1)
        img.set(x, y, 0);
  return img;
}

Image make_title(const Art &art, const Palette &pal) {
  Image img(320, 240, 0);
  const int keep_clear[][4] = {
      {0, 0, 319, 10},
      {8, 12, 311, 100},   // the logo
      {56, 104, 264, 239}, // menu, tagline and credits
      {0, 108, 74, 239},   // ladder and ape
      {264, 160, 319, 239} // barrel stack
  };
  draw_stars(img, pal, 0x71E5u, 60, 8, 200, keep_clear, 5);

  // The logo: each cell of the grid becomes a bevelled 8x8 block, coloured
  // by a ramp from top to bottom, with a dark edge and a drop shadow.
  const Image &logo = sprite(art, "title_logo");
  const int cell = 8;
  const int lx = (320 - logo.w * cell) / 2, ly = 20;
  auto filled = [&](int cx, int cy) {
    return logo.inside(cx, cy) && logo.get(cx, cy) != 0;
  };
  const uint8_t shadow = pal.index("logo_shadow"),
                edge = pal.index("logo_edge"), shine = pal.index("logo_shine");
  for (int pass = 0; pass < 3; pass++)
    for (int cy = 0; cy < logo.h; cy++)
      for (int cx = 0; cx < logo.w; cx++) {
        if (!filled(cx, cy))
          continue;
        const int x0 = lx + cx * cell, y0 = ly + cy * cell;
        if (pass == 0) {
          img.fill_rect(x0 + 4, y0 + 4, x0 + cell + 3, y0 + cell + 3, shadow);
        } else if (pass == 1) {
          img.fill_rect(x0 - 1, y0 - 1, x0 + cell, y0 + cell, edge);
        } else {
          for (int y = 0; y < cell; y++) {
            const int row = (cy * cell + y) * 8 / (logo.h * cell);
            const uint8_t c = pal.index("logo_" + std::to_string(row));
            for (int x = 0; x < cell; x++)
              img.set(x0 + x, y0 + y, c);
          }
          // Light from the upper left on outer edges only, so the letters
          // read as solid shapes, not as rows of bricks.
          if (!filled(cx, cy - 1))
            img.fill_rect(x0, y0, x0 + cell - 1, y0, shine);
          if (!filled(cx - 1, cy))
            img.fill_rect(x0, y0, x0, y0 + cell - 1, pal.index("logo_1"));
          if (!filled(cx + 1, cy))
            img.fill_rect(x0 + cell - 1, y0, x0 + cell - 1, y0 + cell - 1,
                          pal.index("logo_7"));
          if (!filled(cx, cy + 1))
            img.fill_rect(x0, y0 + cell - 1, x0 + cell - 1, y0 + cell - 1,
                          edge);
        }
      }

  // A girder under the logo and one for the floor.
  draw_girder(img, pal, 0, 319, 96);
  draw_girder(img, pal, 0, 319, 233);
  // Down at the lower left the ape climbs a ladder beside a rolling barrel;
  // at the right stand the barrels it has still to deliver.
  draw_ladder(img, pal, 22, 54, 108, 232, 8);
  img.draw_masked(sprite(art, "00_ape_climb_a"), 14, 124);
  img.draw_masked(sprite(art, "34_barrel_roll_a"), 58, 223);
  const Image &stack = sprite(art, "39_stack_barrel");
  for (int row = 0; row < 4; row++)
    for (int i = 0; i <= row; i++)
      img.draw_masked(stack, 291 - row * 5 + i * 10, 233 - 16 * (4 - row));
  return img;
}

} // namespace pack
