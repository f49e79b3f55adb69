// SPDX-License-Identifier: MIT
// The built zarn.dat as the library loads it. The pack tool holds every
// object to the catalogue and to what the screens rely on while it makes the
// pack; what only the loaded pack shows is checked here: every object came
// through with something in it, the font reads as the game draws it, and
// the password guards it.
#include <gtest/gtest.h>

#include "core/game_state.h"
#include "test_support.h"

namespace {

int ink(BITMAP *b, int w, int h) {
  int n = 0;
  for (int y = 0; y < h && y < b->h; y++)
    for (int x = 0; x < w && x < b->w; x++)
      n += getpixel(b, x, y) != 0;
  return n;
}

} // namespace

TEST(Pack, EveryObjectHasContent) {
  ASSERT_TRUE(test_load_game_pack());
  for (const PackObject &o : pack_catalogue) {
    if (o.type == PACK_BITMAP) {
      EXPECT_GT(ink(pack_bitmap(o.index), o.w, o.h), 0) << o.name;
    } else if (o.type == PACK_SAMPLE) {
      EXPECT_GT(static_cast<SAMPLE *>(pack[o.index].dat)->len, 0UL) << o.name;
    }
  }
}

// Every printable character in one 8x8 cell: the numbers are printed at an
// 8-pixel advance, a score past 9999 shows the glyph after '9', and the
// texts use lower case and punctuation.
TEST(Pack, FontDrawsEveryCharacterInItsCell) {
  ASSERT_TRUE(test_load_game_pack());
  EXPECT_EQ(text_height(game_font), 8);
  BITMAP *cell = create_bitmap(8, 8);
  for (int c = 32; c <= 126; c++) {
    const char text[2] = {static_cast<char>(c), 0};
    clear_to_color(cell, 0);
    textout_ex(cell, game_font, text, 0, 0, COL_TEXT, 0);
    EXPECT_EQ(text_length(game_font, text), 8) << "'" << text << "'";
    EXPECT_EQ(ink(cell, 8, 8) > 0, c != ' ') << "'" << text << "'";
  }
  destroy_bitmap(cell);
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
