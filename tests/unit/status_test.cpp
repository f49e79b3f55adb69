// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "core/game_state.h"
#include "test_support.h"

namespace {

// Runs draw_status over a buffer of another colour and reads the top strip
// cell by cell: `want` is its 40 characters, one per 8-pixel cell, each
// drawn opaque on colour 0 (a space is a cell of colour 0).
void expect_strip(const char *want) {
  clear_to_color(buffer, 7);
  draw_status();
  BITMAP *cell = create_bitmap(8, 8);
  for (int i = 0; i < 40; i++) {
    const char ch[2] = {want[i], 0};
    textout_ex(cell, game_font, ch, 0, 0, COL_TEXT, 0);
    int wrong = 0;
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++)
        wrong += getpixel(buffer, 8 * i + x, y) != getpixel(cell, x, y);
    EXPECT_EQ(wrong, 0) << "cell " << i << " of \"" << want << "\"";
  }
  destroy_bitmap(cell);
  EXPECT_EQ(getpixel(buffer, 0, 8), 7); // nothing below the strip
}

} // namespace

TEST(Status, ScoreWrapsAndTheBestScoreFollows) {
  ASSERT_TRUE(test_load_game_pack());
  const struct {
    int score, top, level;
    const char *strip;
  } cases[] = {
      // A 10-point hand-over on 9990: the points past 9999 are lost.
      {9990 + 10, 9990, 0, "  Score:0000    Top:9990      Level:01  "},
      {9999, 120, 0, "  Score:9999    Top:9999      Level:01  "},
      {50, 49, 0, "  Score:0050    Top:0050      Level:01  "},
      // A negative best score from the file gives way to the score at once.
      {0, -40, 15, "  Score:0000    Top:0000      Level:16  "},
      // The first digit is not reduced: 10000 shows the character after '9'.
      {70, 10000, 9, "  Score:0070    Top::000      Level:10  "},
  };
  for (const auto &c : cases) {
    score = c.score;
    top_score = c.top;
    level = c.level;
    expect_strip(c.strip);
  }
}

namespace {

// One tick a pass: 9990 points, then 20 more, which carry the score past
// 9999, then the game lost and its box dismissed.
int passes;
void wrap_then_lose() {
  tick_flag.store(1);
  if (++passes == 1)
    score = 9990;
  if (passes == 2)
    score += 20;
  if (passes == 3) {
    game_over = 1;
    run_active = 0;
  }
}

} // namespace

// A game lost after its score wrapped gives the best score what the game
// reached, not what the score shows at its end.
TEST(Status, GameOverAfterTheWrapKeepsTheGamesBestScore) {
  ASSERT_TRUE(test_load_game_pack());
  hiscore = -1; // from a file, so any score beats it
  test_on_pass = wrap_then_lose;
  run_game();
  test_on_pass = nullptr;
  EXPECT_EQ(passes, 3);
  EXPECT_EQ(score, 0);
  EXPECT_EQ(hiscore, 9990);
}
