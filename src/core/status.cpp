// SPDX-License-Identifier: MIT
#include "core/draw_text.h"
#include "core/game_state.h"
#include "platform/platform.h"

// The first digit is not reduced: a value of 10000 or more shows whatever
// character follows '9' in the font, as the number is meant to stay below.
void print_number4(int v, int x, int y) {
  draw_text(buffer, x, y, COL_TEXT, "%c", 48 + v / 1000);
  draw_text(buffer, x + 8, y, COL_TEXT, "%c", 48 + (v % 1000) / 100);
  draw_text(buffer, x + 16, y, COL_TEXT, "%c", 48 + (v % 100) / 10);
  draw_text(buffer, x + 24, y, COL_TEXT, "%c", 48 + v % 10);
}

void print_number2(int v, int x, int y) {
  draw_text(buffer, x, y, COL_TEXT, "%c", 48 + v / 10);
  draw_text(buffer, x + 8, y, COL_TEXT, "%c", 48 + v % 10);
}

void draw_status() {
  // Points past 9999 are lost, and the best score keeps its last value.
  if (score > 9999)
    score = 0;
  if (score > top_score)
    top_score = score;
  rectfill(buffer, 0, 0, FRAME_W - 1, STATUS_H - 1, 0);
  draw_text(buffer, 16, 0, COL_TEXT, "Score:");
  print_number4(score, 64, 0);
  draw_text(buffer, 128, 0, COL_TEXT, "Top:");
  print_number4(top_score, 160, 0);
  draw_text(buffer, 240, 0, COL_TEXT, "Level:");
  print_number2(level + 1, 288, 0);
}
