// SPDX-License-Identifier: MIT
#include "checks.h"

#include "core/pack_catalogue.h"
#include "core/playfield_layout.h"
#include "platform/tick_rate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pack {

namespace {

void need(bool ok, const std::string &what) {
  if (!ok)
    throw SourceError(what);
}

// Pixels other than colour 0 in a rectangle (clipped to the picture).
int ink(const Image &img, int x0, int y0, int w, int h) {
  int n = 0;
  for (int y = std::max(y0, 0); y < y0 + h && y < img.h; y++)
    for (int x = std::max(x0, 0); x < x0 + w && x < img.w; x++)
      n += img.get(x, y) != 0;
  return n;
}

// The art's picture of a pack object, found by its index prefix.
const Image &object(const Art &art, int index) {
  const std::string prefix = (index < 10 ? "0" : "") + std::to_string(index);
  for (const auto &[name, img] : art)
    if (name.compare(0, 3, prefix + "_") == 0)
      return img;
  throw SourceError("no picture for object " + std::to_string(index));
}

} // namespace

void check_pictures(const Art &art, const Palette &pal) {
  for (const PackObject &o : pack_catalogue)
    if (o.type == PACK_BITMAP)
      need(ink(object(art, o.index), 0, 0, o.w, o.h) > 0,
           std::string(o.name) + ": nothing drawn where the game shows it");

  // Texts are drawn on black in their two colours, which must read apart.
  const Rgb &menu = pal.at(COL_TEXT), &head = pal.at(COL_TITLE);
  for (const Rgb *c : {&menu, &head})
    need(std::max({c->r, c->g, c->b}) >= 40,
         "palette: a text colour is too dark to read on black");
  need(std::abs(menu.r - head.r) + std::abs(menu.g - head.g) +
               std::abs(menu.b - head.b) >=
           24,
       "palette: the headings' colour " + std::to_string(COL_TITLE) +
           " looks like the menu's " + std::to_string(COL_TEXT));

  // Opaque pictures and text are drawn over these places; anything but
  // black there would show as a box around them.
  const Image &field = object(art, OBJ_PLAYFIELD),
              &title = object(art, OBJ_TITLE);
  const struct {
    const Image *img;
    int x, y, w, h;
    const char *what;
  } black[] = {
      {&field, 0, 0, field.w, STATUS_H, "the status line"},
      {&field, LADY_X, LADY_Y, pack_catalogue[OBJ_LADY].w,
       pack_catalogue[OBJ_LADY].h, "behind the lady"},
      {&field, HEART_X, HEART_Y, pack_catalogue[OBJ_HEART].w,
       pack_catalogue[OBJ_HEART].h, "behind the heart"},
      {&field, 0, MISS_Y, 7 * 16, 16, "behind the left lost-barrel icons"},
      {&field, MISS_RIGHT_X, MISS_Y, 7 * 16, 16,
       "behind the right lost-barrel icons"},
      {&title, 0, 0, 320, 8, "the title's top line"},
      {&title, 100, 108, 161, 125, "the title's menu"},
      // The credit lines, centred: 17, 25 and 22 characters.
      {&title, 160 - 17 * 4, 200, 17 * 8, 8, "the first credit line"},
      {&title, 160 - 25 * 4, 209, 25 * 8, 8, "the second credit line"},
      {&title, 160 - 22 * 4, 218, 22 * 8, 8, "the third credit line"},
  };
  for (const auto &b : black)
    need(ink(*b.img, b.x, b.y, b.w, b.h) == 0,
         std::string("the background is not black at ") + b.what);
  need(ink(title, 0, 8, 320, 96) > 320 * 96 / 4, "the title holds no name");

  // The reaching hands touch the barrels waiting at their stops: the left
  // one ends a pixel before the ape's x, the right one starts at its stop.
  const Image &stand = object(art, OBJ_APE_STAND),
              &right = object(art, OBJ_APE_REACH_RIGHT),
              &left = object(art, OBJ_APE_REACH_LEFT),
              &roll = object(art, OBJ_BARREL_ROLL);
  need(ink(right, STOP_X_RIGHT - APE_X - 3, 0, 6, right.h) > 0,
       "03: the right hand stops short of the right barrel");
  need(ink(left, 0, 0, STOP_X_LEFT + roll.w - 1 - APE_X + 4, left.h) > 0,
       "04: the left hand stops short of the left barrel");
  need(ink(stand, 0, 0, 3, stand.h) == 0, "02: standing, yet reaching left");
  // The carried barrel is drawn over the body.
  const Image &held = object(art, OBJ_BARREL_HELD);
  need(HELD_DX + held.w <= stand.w && HELD_DY + held.h <= stand.h,
       "38: the held barrel sticks out of the ape");

  // Each roll picture differs from the one before, or the barrel won't turn.
  for (int i = OBJ_BARREL_ROLL_1; i <= OBJ_BARREL_ROLL_3; i++)
    need(object(art, i).px != object(art, i - 1).px,
         std::to_string(i) + ": the same as the roll picture before it");
  // A girder under every waiting barrel, along the row below its bottom
  // edge and all the way across its stop; and under the top-left platform
  // a handed-over barrel travels along from the ladder to the lady.
  for (int lane = 0; lane < NUM_LANES; lane++) {
    const bool from_left = layout::lane_dir[lane] > 0;
    const int top = layout::lane_y[lane];
    need(ink(field, from_left ? STOP_X_LEFT : STOP_X_RIGHT, top + roll.h,
             roll.w, 1) == roll.w,
         std::string("15: no girder under the ") +
             (from_left ? "left" : "right") + " stop at y " +
             std::to_string(top));
  }
  need(ink(field, DELIVERED_X, HANDOVER_Y + roll.h, APE_X - DELIVERED_X, 1) ==
           APE_X - DELIVERED_X,
       "15: the top-left platform has a gap");
}

void check_sounds(const std::vector<Sound> &sounds) {
  auto find = [&](int index) -> const Sound & {
    for (const Sound &s : sounds)
      if (std::atoi(s.name.c_str()) == index)
        return s;
    throw SourceError("no sound for object " + std::to_string(index));
  };
  auto seconds = [&](int i) {
    return static_cast<double>(find(i).pcm.size()) / kRate;
  };
  auto rms = [&](int i) {
    double sum = 0;
    for (double v : find(i).pcm)
      sum += v * v;
    return std::sqrt(sum / static_cast<double>(find(i).pcm.size()));
  };
  // Each fits its moment: the start jingle ends before the music at 5.5 s,
  // the level-clear tune within the 4 s of the celebration, the
  // instructions music with the pages (4 x 181 ticks).
  need(seconds(OBJ_SND_START) < 5.5, "24: longer than the wait for the music");
  need(seconds(OBJ_SND_CLEAR) <= 4.0, "32: longer than the celebration");
  need(std::abs(seconds(OBJ_SND_INSTR_MUSIC) - 724.0 / TICKS_PER_SECOND) <= 0.5,
       "26: not as long as the instruction pages");
  need(seconds(OBJ_SND_GAMEOVER) >= 1.5 && seconds(OBJ_SND_GAMEOVER) <= 5,
       "28: not between 1.5 and 5 seconds");
  const int effects[] = {OBJ_SND_LOST, OBJ_SND_CLICK, OBJ_SND_HANDOVER,
                         OBJ_SND_BONUS_GET};
  for (int e : effects)
    need(seconds(e) < 1.0, std::to_string(e) + ": too long for an effect");
  for (int m : {OBJ_SND_BONUS_MUSIC, OBJ_SND_MUSIC}) {
    const std::vector<double> &pcm = find(m).pcm;
    need(seconds(m) >= 4.0, std::to_string(m) + ": the loop repeats too soon");
    // The loop's end runs into its start without a step a listener would
    // hear as a click each time round (8 steps of the 8-bit sample).
    need(std::abs(pcm.back() - pcm.front()) * 127 <= 8,
         std::to_string(m) + ": the loop jumps at its seam");
    for (int e : effects)
      need(rms(e) >= rms(m),
           std::to_string(e) + ": drowns under the music " + std::to_string(m));
  }
}

} // namespace pack
