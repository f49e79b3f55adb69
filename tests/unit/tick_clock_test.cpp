// SPDX-License-Identifier: MIT
// The tick clock that every face of the platform shares, driven by a clock
// of the test's own.
#include <gtest/gtest.h>

#include "platform/tick_clock.h"

namespace {

const long long MS = 1'000'000;

// The page's pass wait: sleeps exactly as long as the clock says, and takes
// the tick. Returns when it was given.
long long page_tick(TickClock *clock, long long now) {
  while (!tick_clock_take(clock, now))
    now += tick_clock_wait(clock, now);
  return now;
}

// How many ticks are given at once at now, without a sleep between.
int ticks_at_once(TickClock *clock, long long now) {
  int n = 0;
  while (tick_clock_take(clock, now) && n < 1000)
    n++;
  return n;
}

} // namespace

TEST(TickClock, ALateWakeUpIsMadeUpOnlyWhenItIsShort) {
  TickClock clock;
  tick_clock_start(&clock, 0);
  long long now = 0;
  for (int i = 1; i <= 10; i++)
    EXPECT_EQ(now = page_tick(&clock, now), i * 20 * MS) << "tick " << i;
  // The wake-up for the tick of 220 ms comes at 280 ms: that tick and the
  // three due since are given at once, and the rate holds.
  EXPECT_EQ(ticks_at_once(&clock, 280 * MS), 4);
  EXPECT_EQ(page_tick(&clock, 280 * MS), 300 * MS);
  // A page hidden (or a program stopped) for a second and a half: one tick
  // when it is back, the next a period later, none made up.
  EXPECT_EQ(ticks_at_once(&clock, 1800 * MS), 1);
  EXPECT_EQ(page_tick(&clock, 1800 * MS), 1820 * MS);
}
