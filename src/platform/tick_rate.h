// SPDX-License-Identifier: MIT
// The game's clock: every duration in the game is a count of its ticks. The
// platforms tick at this rate, the pack tool times the music against it and
// the Python tools (tools/catalogue.py) measure against it; it includes
// nothing so that all of them can read it.
#ifndef ZARN_TICK_RATE_H
#define ZARN_TICK_RATE_H

enum { TICKS_PER_SECOND = 50 };

#endif
