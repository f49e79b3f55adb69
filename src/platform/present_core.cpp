// SPDX-License-Identifier: MIT
// The title and the pages are still most of the time, and play moves a few
// things: a frame is compared with the last one row by row, so that a face
// enlarges, converts and sends only the rows that changed. The colours
// follow set_palette's _current_palette; a new one changes every row.
#include "platform/present_core.h"

#include <cstring>

ShownFrame shown_frame;

void shown_frame_forget() { shown_frame.valid = false; }

bool shown_frame_take(BITMAP *frame) {
  shown_frame.new_palette =
      !shown_frame.valid ||
      memcmp(shown_frame.palette, _current_palette, sizeof(PALETTE)) != 0;
  if (shown_frame.new_palette)
    memcpy(shown_frame.palette, _current_palette, sizeof(PALETTE));
  shown_frame.top = FRAME_H;
  shown_frame.bottom = -1;
  for (int y = 0; y < FRAME_H; y++) {
    bool changed = shown_frame.new_palette ||
                   memcmp(shown_frame.pixels[y], frame->line[y], FRAME_W) != 0;
    shown_frame.row_changed[y] = changed;
    if (!changed)
      continue;
    memcpy(shown_frame.pixels[y], frame->line[y], FRAME_W);
    if (shown_frame.top == FRAME_H)
      shown_frame.top = y;
    shown_frame.bottom = y;
  }
  shown_frame.valid = true;
  return shown_frame.bottom >= 0;
}
