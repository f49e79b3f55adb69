// SPDX-License-Identifier: MIT
// The clock that tells every face of the platform when the game's 50 Hz tick
// is due. It only counts: the desktop's timer thread asks it whether a call
// of the library's timer is a tick, the page's pass wait asks it how long to
// sleep, and both hand the tick to the game themselves.
#ifndef ZARN_TICK_CLOCK_H
#define ZARN_TICK_CLOCK_H

#include "platform/tick_rate.h"

const long long TICK_PERIOD_NS = 1'000'000'000 / TICKS_PER_SECOND;
// How late a tick may be and still be made up, in periods.
const int TICK_CATCH_UP = 5;

// When the next tick is due, in nanoseconds of the caller's clock.
struct TickClock {
  long long due_ns;
};

// The first tick is due a period after now.
void tick_clock_start(TickClock *clock, long long now);
// Whether a tick is to be given at now; when it is, it counts as given.
bool tick_clock_take(TickClock *clock, long long now);
// How long from now until the next tick is due; 0 when it is.
long long tick_clock_wait(const TickClock *clock, long long now);

#endif
