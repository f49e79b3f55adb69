// SPDX-License-Identifier: MIT
// The platform's parts that every face shares and that need no machine: the
// tick clock, driven by a clock of the test's own, and what the present step
// keeps of the picture shown.
#include <gtest/gtest.h>

#include "platform/present_core.h"
#include "platform/tick_clock.h"
#include "test_support.h"

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

TEST(TickClock, AShortLateWakeUpIsMadeUpAHiddenPageDoesNotRace) {
  TickClock clock;
  tick_clock_start(&clock, 0);
  long long now = 0;
  for (int i = 1; i <= 10; i++) {
    now = page_tick(&clock, now);
    EXPECT_EQ(now, i * 20 * MS) << "on time, tick " << i;
  }
  // The wake-up for the tick of 220 ms comes at 280 ms: that tick and the
  // three due since are given at once, and the rate holds.
  EXPECT_EQ(ticks_at_once(&clock, 280 * MS), 4);
  EXPECT_EQ(page_tick(&clock, 280 * MS), 300 * MS);
  // A page hidden for a second and a half, its timers asleep: one tick when
  // it is back, the next a period later, none made up.
  EXPECT_EQ(ticks_at_once(&clock, 1800 * MS), 1);
  EXPECT_EQ(page_tick(&clock, 1800 * MS), 1820 * MS);
}

TEST(TickClock, TheLibrarysTimerGivesFiftyTicksASecondAndNoBurstAfterAStall) {
  // The library's timer calls every 23863 of its 1193181 Hz counts, a little
  // faster than 50 Hz, and after a stall once for every period it missed.
  TickClock clock;
  tick_clock_start(&clock, 0);
  const double period_ns = 23863 * 1e9 / 1193181;
  int given = 0, calls = 0;
  long long now = 0;
  for (; now < 600'000 * MS; calls++) {
    now = static_cast<long long>((calls + 1) * period_ns);
    given += tick_clock_take(&clock, now);
  }
  EXPECT_NEAR(given, 30'000, 1) << calls << " calls in ten minutes";
  // Stopped for three seconds: the calls it missed, back to back.
  now += 3000 * MS;
  int after_stall = 0;
  for (int i = 0; i < 150; i++)
    after_stall += tick_clock_take(&clock, now);
  EXPECT_EQ(after_stall, 1);
  EXPECT_EQ(tick_clock_wait(&clock, now), 20 * MS);
}

TEST(PresentCore, OnlyTheChangedRowsAndAllOfThemAfterANewPaletteOrAModeSet) {
  ASSERT_TRUE(test_load_game_pack());
  BITMAP *frame = create_bitmap(FRAME_W, FRAME_H);
  clear_to_color(frame, 5);
  PALETTE colours;
  for (int i = 0; i < PAL_SIZE; i++)
    colours[i] = {static_cast<unsigned char>(i & 63), 0, 0, 0};
  set_palette(colours);
  auto changed_rows = [] {
    std::vector<int> rows;
    for (int y = 0; y < FRAME_H; y++)
      if (shown_frame.row_changed[y])
        rows.push_back(y);
    return rows;
  };
  shown_frame_forget();
  ASSERT_TRUE(shown_frame_take(frame));
  EXPECT_TRUE(shown_frame.new_palette);
  EXPECT_EQ(changed_rows().size(), size_t{FRAME_H});
  EXPECT_EQ(shown_frame.top, 0);
  EXPECT_EQ(shown_frame.bottom, FRAME_H - 1);
  EXPECT_FALSE(shown_frame_take(frame)) << "the same frame again";
  EXPECT_TRUE(changed_rows().empty());

  putpixel(frame, 319, 7, 6);
  putpixel(frame, 0, 200, 6);
  ASSERT_TRUE(shown_frame_take(frame));
  EXPECT_FALSE(shown_frame.new_palette);
  EXPECT_EQ(changed_rows(), (std::vector<int>{7, 200}));
  EXPECT_EQ(shown_frame.top, 7);
  EXPECT_EQ(shown_frame.bottom, 200);
  EXPECT_EQ(shown_frame.pixels[7][319], 6);

  colours[6].g = 30; // the same pixels in another colour
  set_palette(colours);
  ASSERT_TRUE(shown_frame_take(frame));
  EXPECT_TRUE(shown_frame.new_palette);
  EXPECT_EQ(changed_rows().size(), size_t{FRAME_H});
  EXPECT_EQ(shown_frame.palette[6].g, 30);
  EXPECT_FALSE(shown_frame_take(frame));
  shown_frame_forget(); // a mode set
  ASSERT_TRUE(shown_frame_take(frame));
  EXPECT_EQ(changed_rows().size(), size_t{FRAME_H});
  destroy_bitmap(frame);
}
