// SPDX-License-Identifier: MIT
// The measurements of tools/bench.sh, taken by every face of the platform
// that has a clock: off unless ZARN_TIMING names a file; when off each costs
// one untaken branch.
#ifndef ZARN_TIMING_H
#define ZARN_TIMING_H

#include "platform/platform.h"

// The monotonic clock, in nanoseconds.
long long clock_ns();
void timing_start();
void timing_note_pass(LoopId loop);
// A tick the timer handed to the game at now (clock_ns's); called on the
// timer's thread.
void timing_note_tick(long long now);
// The clock for one present step, or 0 when nothing is measured.
long long timing_present_begin();
void timing_present_end(long long begin);

#endif
