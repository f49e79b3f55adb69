// Checks the built zarn.dat against what the game's code relies on: every
// object at its index with its type, pictures big enough for the sizes the
// game draws them at, text readable on black, black backgrounds where opaque
// things are drawn over them, and the password.
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(Pack, EveryObjectHasItsTypeContentAndSize) {
  ASSERT_TRUE(test_load_game_pack());
  for (int i = 0; i < 40; i++) {
    SCOPED_TRACE("object " + std::to_string(i));
    ASSERT_NE(pack[i].type, DAT_END);
    ASSERT_NE(pack[i].dat, nullptr);
    if (i == 23 || i == 25)
      continue; // unused slots
    int want = i == 14              ? DAT_FONT
               : i == 20            ? DAT_PALETTE
               : i >= 21 && i <= 32 ? DAT_SAMPLE
                                    : DAT_BITMAP;
    ASSERT_EQ(pack[i].type, want);
    if (want == DAT_SAMPLE) {
      EXPECT_GT(static_cast<SAMPLE *>(pack[i].dat)->len, 0UL);
    } else if (want == DAT_BITMAP) {
      BITMAP *b = bitmap(i);
      EXPECT_EQ(bitmap_color_depth(b), 8);
      EXPECT_GT(ink(b, 0, 0, b->w, b->h), 0) << "empty";
    }
  }
  // The sizes the game draws pictures at; the two backgrounds fill the screen.
  const int sizes[][3] = {{10, 15, 16}, {11, 15, 16}, {12, 16, 23},
                          {13, 16, 23}, {18, 16, 22}, {19, 16, 22},
                          {39, 10, 16}};
  for (const auto &s : sizes)
    EXPECT_TRUE(bitmap(s[0])->w >= s[1] && bitmap(s[0])->h >= s[2])
        << "object " << s[0];
  for (int i : {15, 33})
    EXPECT_TRUE(bitmap(i)->w == 320 && bitmap(i)->h == 240) << "object " << i;
}

TEST(Pack, PaletteAndFontGiveReadableText) {
  ASSERT_TRUE(test_load_game_pack());
  const RGB *pal = static_cast<const RGB *>(pack[20].dat);
  EXPECT_EQ(pal[0].r + pal[0].g + pal[0].b, 0) << "colour 0 is not black";
  for (int i : {19, 42})
    EXPECT_GE(std::max({pal[i].r, pal[i].g, pal[i].b}), 40)
        << "colour " << i << " is too dark to read on black";
  FONT *f = static_cast<FONT *>(pack[14].dat);
  EXPECT_EQ(text_height(f), 8);
  BITMAP *cell = create_bitmap(8, 8);
  for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ:")) {
    const char text[2] = {c, 0};
    clear_to_color(cell, 0);
    textout_ex(cell, f, text, 0, 0, 42, 0);
    EXPECT_EQ(text_length(f, text), 8) << "'" << c << "'";
    EXPECT_GT(ink(cell, 0, 0, 8, 8), 0) << "'" << c << "' draws nothing";
  }
  destroy_bitmap(cell);
}

// Opaque pictures and text are drawn over these places; anything but black
// there would show as a box around them.
TEST(Pack, BackgroundsAreBlackWhereOpaqueThingsAreDrawn) {
  ASSERT_TRUE(test_load_game_pack());
  BITMAP *field = bitmap(15), *title = bitmap(33);
  EXPECT_EQ(ink(field, 0, 0, 320, 8), 0) << "status line";
  EXPECT_EQ(ink(field, 68, 51, 16, 22), 0) << "behind the lady";
  EXPECT_EQ(ink(field, 72, 34, 16, 14), 0) << "behind the heart";
  EXPECT_EQ(ink(field, 0, 215, 112, 16), 0) << "left lost-barrel icons";
  EXPECT_EQ(ink(field, 208, 215, 112, 16), 0) << "right lost-barrel icons";
  EXPECT_EQ(ink(title, 0, 0, 320, 8), 0) << "title's top line";
  EXPECT_EQ(ink(title, 100, 108, 161, 125), 0) << "title's menu area";
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
