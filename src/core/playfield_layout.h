// SPDX-License-Identifier: MIT
// Where the playfield puts things: the places the game draws at and the
// ladder's rungs and lanes. The pack tool draws the playfield's art around
// them and checks it, and the Python tools look there (tools/catalogue.py),
// so this is their one home. It includes nothing, so the pack tool builds
// without the library; each fact is a `NAME = number,` line of the enum or a
// one-line `inline constexpr int name[...] = {...};` table, which is all the
// Python reader understands.
#ifndef ZARN_PLAYFIELD_LAYOUT_H
#define ZARN_PLAYFIELD_LAYOUT_H

// clang-format off
enum PlayfieldLayout {
  NUM_RUNGS = 8,
  NUM_LANES = 8,
  // The ape's fixed x, on the ladder.
  APE_X = 137,
  // The stops beside the ladder: a barrel rolling in from the left waits
  // at STOP_X_LEFT, one from the right at STOP_X_RIGHT.
  STOP_X_LEFT = 123,
  STOP_X_RIGHT = 186,
  // A held barrel rides at this offset from the ape's corner.
  HELD_DX = 17,
  HELD_DY = 20,
  // A handed-over barrel starts here and travels left along the lady's
  // platform; at DELIVERED_X or less she has it.
  HANDOVER_X = 124,
  HANDOVER_Y = 63,
  DELIVERED_X = 79,
  // The lady, and the heart above her at a level clear.
  LADY_X = 68,
  LADY_Y = 51,
  HEART_X = 72,
  HEART_Y = 34,
  // The status line's strip along the top, cleared on every tick.
  STATUS_H = 8,
  // The lost-barrel row: seven icons from the left edge, seven from
  // MISS_RIGHT_X.
  MISS_Y = 215,
  MISS_RIGHT_X = 208,
  // The two flickering figures at the bottom.
  FIGURE_Y = 209,
  // The texts' colours in the game palette: menu, captions and numbers;
  // headings.
  COL_TEXT = 42,
  COL_TITLE = 19,
};

namespace layout {

// The y the ape is drawn at on each rung; rung 0 lies above the screen and
// only starts a game.
inline constexpr int rung_y[NUM_RUNGS] = {-32, 20, 40, 64, 100, 134, 170, 200};
// The lanes barrels roll in along: the start x past an edge, the lane's y,
// the direction (-1 leftwards) and the rung the ape grabs them from.
inline constexpr int lane_x[NUM_LANES] = {326, 326, -17, 326, -17, 326, -17, 326};
inline constexpr int lane_y[NUM_LANES] = {43, 87, 122, 122, 157, 157, 191, 191};
inline constexpr int lane_dir[NUM_LANES] = {-1, -1, 1, -1, 1, -1, 1, -1};
inline constexpr int lane_rung[NUM_LANES] = {1, 3, 4, 4, 5, 5, 6, 6};

} // namespace layout
// clang-format on

#endif
