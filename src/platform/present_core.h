// SPDX-License-Identifier: MIT
// What every face's present step keeps of the picture it last showed: the
// frame and its palette. A face only enlarges or converts what changed since
// and puts it on its display.
#ifndef ZARN_PRESENT_CORE_H
#define ZARN_PRESENT_CORE_H

#include "platform/platform.h"

struct ShownFrame {
  unsigned char pixels[FRAME_H][FRAME_W]; // as last shown
  PALETTE palette;                        // the colours they were shown in
  bool valid;                             // false: the display lost them
  // What the last shown_frame_take found: a new palette (every row then
  // counts as changed), the rows that changed, and the first and last of
  // them (bottom < top when none did).
  bool new_palette;
  bool row_changed[FRAME_H];
  int top, bottom;
};
extern ShownFrame shown_frame;

// After a mode set, or anything else that left the display without the
// picture: the next frame is taken whole.
void shown_frame_forget();
// Takes a FRAME_W x FRAME_H frame of the colour depth 8, in the colours of
// the palette last given to set_palette, as the one shown, and finds what
// changed. False when nothing did.
bool shown_frame_take(BITMAP *frame);

#endif
