#include <gtest/gtest.h>

#include <string>

#include "core/game_state.h"
#include "test_support.h"

namespace {

// Runs draw_status over a buffer of another colour and compares the top strip
// with one drawn here by the library: colour 0 but for the glyphs, each digit
// in its own 8-pixel cell.
void expect_strip(const std::string &score, const std::string &top,
                  const std::string &lvl) {
  clear_to_color(buffer, 7);
  draw_status();
  BITMAP *want = create_bitmap(320, 8);
  clear_to_color(want, 0);
  const struct {
    const char *label;
    int x;
    std::string digits;
    int at;
  } items[] = {{"Score:", 16, score, 64},
               {"Top:", 128, top, 160},
               {"Level:", 240, lvl, 288}};
  for (const auto &item : items) {
    textout_ex(want, game_font, item.label, item.x, 0, 42, 0);
    for (size_t i = 0; i < item.digits.size(); ++i)
      textout_ex(want, game_font, item.digits.substr(i, 1).c_str(),
                 item.at + 8 * static_cast<int>(i), 0, 42, 0);
  }
  int wrong = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 320; ++x)
      wrong += getpixel(buffer, x, y) != getpixel(want, x, y);
  EXPECT_EQ(wrong, 0) << "pixels differ for " << score << " " << top << " "
                      << lvl;
  destroy_bitmap(want);
  EXPECT_EQ(getpixel(buffer, 0, 8), 7); // nothing below the strip
}

} // namespace

TEST(Status, ScoreWrapsAndTheBestScoreFollows) {
  ASSERT_TRUE(test_load_game_pack());
  const struct {
    int score, top, level;
    const char *shown[3];
    int score_after, top_after;
  } cases[] = {
      // A 10-point hand-over on 9990: the points past 9999 are lost.
      {9990 + 10, 9990, 0, {"0000", "9990", "01"}, 0, 9990},
      {9999, 120, 0, {"9999", "9999", "01"}, 9999, 9999},
      {50, 49, 0, {"0050", "0050", "01"}, 50, 50},
      // A negative best score from the file gives way to the score at once.
      {0, -40, 15, {"0000", "0000", "16"}, 0, 0},
      // The first digit is not reduced: 10000 shows the character after '9'.
      {70, 10000, 9, {"0070", ":000", "10"}, 70, 10000},
  };
  for (const auto &c : cases) {
    score = c.score;
    top_score = c.top;
    level = c.level;
    expect_strip(c.shown[0], c.shown[1], c.shown[2]);
    EXPECT_EQ(score, c.score_after);
    EXPECT_EQ(top_score, c.top_after);
  }
}
