// Checks the built zarn.dat for what its catalogue cannot say: pictures and
// sounds with something in them, text readable on black, black backgrounds
// where opaque things are drawn over them, the ape's reach, and the password.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/game_state.h"
#include "test_support.h"

namespace {

int ink(BITMAP *b, int x0, int y0, int w, int h) {
  int n = 0;
  for (int y = y0; y < y0 + h && y < b->h; y++)
    for (int x = x0; x < x0 + w && x < b->w; x++)
      n += getpixel(b, x, y) != 0;
  return n;
}

BITMAP *bitmap(int i) { return static_cast<BITMAP *>(pack[i].dat); }

} // namespace

// Types and sizes are held to the catalogue by the pack tool and the loader;
// what neither can see is a picture with nothing in it or a silent sample.
TEST(Pack, EveryObjectHasContent) {
  ASSERT_TRUE(test_load_game_pack());
  for (const PackObject &o : pack_catalogue) {
    if (o.type == PACK_BITMAP) {
      EXPECT_GT(ink(bitmap(o.index), 0, 0, o.w, o.h), 0) << o.name;
    } else if (o.type == PACK_SAMPLE) {
      EXPECT_GT(static_cast<SAMPLE *>(pack[o.index].dat)->len, 0UL) << o.name;
    }
  }
}

TEST(Pack, PaletteAndFontGiveReadableText) {
  ASSERT_TRUE(test_load_game_pack());
  const RGB *pal = static_cast<const RGB *>(pack[OBJ_PALETTE].dat);
  EXPECT_EQ(pal[0].r + pal[0].g + pal[0].b, 0) << "colour 0 is not black";
  for (int i : {19, 42})
    EXPECT_GE(std::max({pal[i].r, pal[i].g, pal[i].b}), 40)
        << "colour " << i << " is too dark to read on black";
  EXPECT_GE(std::abs(pal[19].r - pal[42].r) + std::abs(pal[19].g - pal[42].g) +
                std::abs(pal[19].b - pal[42].b),
            24)
      << "the headings' colour looks like the menu's";
  // Every printable character: a status line past 10000 shows the glyph
  // after '9', and the texts use lower case and punctuation.
  FONT *f = static_cast<FONT *>(pack[OBJ_FONT].dat);
  EXPECT_EQ(text_height(f), 8);
  BITMAP *cell = create_bitmap(8, 8);
  for (int c = 32; c <= 126; c++) {
    const char text[2] = {static_cast<char>(c), 0};
    clear_to_color(cell, 0);
    textout_ex(cell, f, text, 0, 0, 42, 0);
    EXPECT_EQ(text_length(f, text), 8) << "'" << text << "'";
    if (c == ' ')
      EXPECT_EQ(ink(cell, 0, 0, 8, 8), 0) << "the space has ink";
    else
      EXPECT_GT(ink(cell, 0, 0, 8, 8), 0) << "'" << text << "' draws nothing";
  }
  destroy_bitmap(cell);
}

// Opaque pictures and text are drawn over these places; anything but black
// there would show as a box around them.
TEST(Pack, BackgroundsAreBlackWhereOpaqueThingsAreDrawn) {
  ASSERT_TRUE(test_load_game_pack());
  BITMAP *field = bitmap(OBJ_PLAYFIELD), *title = bitmap(OBJ_TITLE);
  EXPECT_EQ(ink(field, 0, 0, 320, 8), 0) << "status line";
  EXPECT_EQ(ink(field, 68, 51, 16, 22), 0) << "behind the lady";
  EXPECT_EQ(ink(field, 72, 34, 16, 14), 0) << "behind the heart";
  EXPECT_EQ(ink(field, 0, 215, 112, 16), 0) << "left lost-barrel icons";
  EXPECT_EQ(ink(field, 208, 215, 112, 16), 0) << "right lost-barrel icons";
  EXPECT_EQ(ink(title, 0, 0, 320, 8), 0) << "title's top line";
  EXPECT_EQ(ink(title, 100, 108, 161, 125), 0) << "title's menu area";
  // The credit lines, centred: 17, 25 and 22 characters.
  const int credit_chars[] = {17, 25, 22};
  for (int i = 0; i < 3; i++)
    EXPECT_EQ(ink(title, 160 - credit_chars[i] * 4, 200 + 9 * i,
                  credit_chars[i] * 8, 8),
              0)
        << "title's credit line " << i;
  EXPECT_GT(ink(title, 0, 8, 320, 96), 320 * 96 / 4) << "no name on the title";
}

// The reaching hands must touch the barrels waiting at their stops: the left
// one ends at x 136, the right one starts at x 186.
TEST(Pack, ApeReachesBothStops) {
  ASSERT_TRUE(test_load_game_pack());
  BITMAP *stand = bitmap(OBJ_APE_STAND);
  const int right_stop = 186 - ape_x, left_stop = 136 - ape_x;
  BITMAP *right = bitmap(OBJ_APE_REACH_RIGHT),
         *left = bitmap(OBJ_APE_REACH_LEFT);
  EXPECT_GT(ink(right, right_stop - 3, 0, 6, right->h), 0)
      << "the right hand stops short of the right barrel";
  EXPECT_GT(ink(left, 0, 0, left_stop + 4, left->h), 0)
      << "the left hand stops short of the left barrel";
  EXPECT_EQ(ink(stand, 0, 0, 3, stand->h), 0) << "standing, yet reaching left";
  // The carried barrel is drawn at (154, ape's y + 20), over the body.
  BITMAP *held = bitmap(OBJ_BARREL_HELD);
  EXPECT_LE(154 - ape_x + held->w, stand->w);
  EXPECT_LE(20 + held->h, stand->h);
}

TEST(Pack, BarrelsTurnAndRunOnGirders) {
  ASSERT_TRUE(test_load_game_pack());
  BITMAP *roll = bitmap(OBJ_BARREL_ROLL);
  for (int i = 1; i < 4; i++) {
    BITMAP *b = bitmap(OBJ_BARREL_ROLL + i),
           *prev = bitmap(OBJ_BARREL_ROLL + i - 1);
    int changed = 0;
    for (int y = 0; y < b->h; y++)
      for (int x = 0; x < b->w; x++)
        changed += getpixel(b, x, y) != getpixel(prev, x, y);
    EXPECT_GT(changed, 0) << "roll pictures " << i - 1 << " and " << i
                          << " are the same: the barrel does not turn";
  }
  // A girder under every waiting barrel: along the row just below its
  // bottom edge, all the way across its stop.
  BITMAP *field = bitmap(OBJ_PLAYFIELD);
  const int row_of[] = {43, 87, 122, 157, 191};
  for (int top : row_of) {
    EXPECT_EQ(ink(field, 186, top + roll->h, roll->w, 1), roll->w)
        << "no girder under the right stop at y " << top;
    if (top >= 122) {
      EXPECT_EQ(ink(field, 136 - roll->w + 1, top + roll->h, roll->w, 1),
                roll->w)
          << "no girder under the left stop at y " << top;
    }
  }
  // Handed over, a barrel travels along y 63 from the ladder (x 124) to the
  // lady (x 76) on a platform that ends at the ladder.
  EXPECT_EQ(ink(field, 76, 63 + roll->h, ape_x - 76, 1), ape_x - 76)
      << "the top-left platform has a gap";
}

// Lengths in seconds of what each sound must fit: the start jingle ends
// before the music at 5.5 s, the level-clear tune within the 4 s of the
// celebration, the instructions music with the pages (4 x 181 ticks).
TEST(Pack, SamplesFitTheirMoments) {
  ASSERT_TRUE(test_load_game_pack());
  auto sample = [](int i) { return static_cast<SAMPLE *>(pack[i].dat); };
  auto seconds = [&](int i) {
    return static_cast<double>(sample(i)->len) / sample(i)->freq;
  };
  auto level = [&](int i, unsigned long k) {
    const SAMPLE *s = sample(i);
    return s->bits == 8
               ? static_cast<const unsigned char *>(s->data)[k] - 128
               : (static_cast<const unsigned short *>(s->data)[k] >> 8) - 128;
  };
  auto rms = [&](int i) {
    double sum = 0;
    for (unsigned long k = 0; k < sample(i)->len; k++)
      sum += level(i, k) * level(i, k);
    return std::sqrt(sum / sample(i)->len);
  };
  const int music[] = {OBJ_SND_BONUS_MUSIC, OBJ_SND_MUSIC};
  const int effects[] = {OBJ_SND_LOST, OBJ_SND_CLICK, OBJ_SND_HANDOVER,
                         OBJ_SND_BONUS_GET};
  for (const PackObject &o : pack_catalogue) {
    if (o.type != PACK_SAMPLE)
      continue;
    EXPECT_EQ(sample(o.index)->stereo, 0) << o.name;
    EXPECT_EQ(sample(o.index)->freq, sample(OBJ_SND_MUSIC)->freq) << o.name;
    EXPECT_EQ(sample(o.index)->bits, sample(OBJ_SND_MUSIC)->bits) << o.name;
  }
  EXPECT_LT(seconds(OBJ_SND_START), 5.5);
  EXPECT_LE(seconds(OBJ_SND_CLEAR), 4.0);
  EXPECT_NEAR(seconds(OBJ_SND_INSTR_MUSIC), 724 / 50.0, 0.5);
  EXPECT_TRUE(seconds(OBJ_SND_GAMEOVER) >= 1.5 &&
              seconds(OBJ_SND_GAMEOVER) <= 5)
      << seconds(OBJ_SND_GAMEOVER);
  for (int i : effects)
    EXPECT_LT(seconds(i), 1.0) << "effect " << i;
  for (int i : music) {
    EXPECT_GE(seconds(i), 4.0) << "loop " << i << " repeats too soon";
    // The loop's end runs into its start without a step a listener would
    // hear as a click each time round.
    const unsigned long end = sample(i)->len - 1;
    EXPECT_LE(std::abs(level(i, end) - level(i, 0)), 8)
        << "loop " << i << " jumps at its seam";
    for (int e : effects)
      EXPECT_GE(rms(e), rms(i)) << "effect " << e << " drowns under " << i;
  }
}

TEST(Pack, LoadFailsWithoutOrWithAWrongPassword) {
  ASSERT_TRUE(test_load_game_pack()); // loads with the right one
  for (const char *password : {static_cast<const char *>(nullptr), "qew"}) {
    packfile_password(password);
    DATAFILE *d = load_datafile(ZARN_PACK_PATH);
    packfile_password(nullptr);
    EXPECT_EQ(d, nullptr) << (password ? password : "no password");
  }
}
