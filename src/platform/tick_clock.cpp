// SPDX-License-Identifier: MIT
// Ticks keep to the clock, each due a period after the one before, rather
// than to the calls that ask for them: a wake-up that came late by a tick or
// a few is made up, the next calls finding their ticks due at once, so the
// rate holds at 50 a second. Later than TICK_CATCH_UP periods (a stopped
// program, a suspend, heavy swapping, a hidden page that the browser let
// sleep) the clock starts again from now: the game goes on from one tick and
// never races through the time it missed, where barrels would jump ahead and
// a waiting one fall before the player saw it.
//
// A call more than half a period before the tick's time is no tick: the
// desktop's timer makes up for calls it missed by calling back to back, and
// its own period drifts a little from ours.
#include "platform/tick_clock.h"

void tick_clock_start(TickClock *clock, long long now) {
  clock->due_ns = now + TICK_PERIOD_NS;
}

bool tick_clock_take(TickClock *clock, long long now) {
  if (now < clock->due_ns - TICK_PERIOD_NS / 2)
    return false;
  if (now - clock->due_ns > TICK_CATCH_UP * TICK_PERIOD_NS)
    clock->due_ns = now;
  clock->due_ns += TICK_PERIOD_NS;
  return true;
}

long long tick_clock_wait(const TickClock *clock, long long now) {
  return now < clock->due_ns ? clock->due_ns - now : 0;
}
