// SPDX-License-Identifier: MIT
#ifndef ZARN_PALETTE_WIDEN_H
#define ZARN_PALETTE_WIDEN_H

// A 6-bit palette component widened to 8 bits as the X11 driver does it for
// an 8-bit screen, so the colours are the ones the game always had,
// whatever shows them.
inline int palette_widen(int c) { return ((c & 63) << 2) | ((c & 63) >> 4); }

#endif
