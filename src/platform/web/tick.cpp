// SPDX-License-Identifier: MIT
// The tick and the pace of the loops in the page. The page has no timer
// thread: the pass wait sleeps (the program is suspended, the page runs on)
// until the next tick is due by the page's clock, and gives the tick there.
// As on the desktop, every tick gets exactly one step and one screen copy,
// and a pass of every loop follows each tick.
#include "platform/web/web.h"

#include <emscripten.h>

#include <cmath>

namespace {

EM_JS(void, page_loop, (int loop), { Page.loop(loop); });

const double tick_ms = 1000.0 / TICKS_PER_SECOND;
const double catch_up_ms = 5 * tick_ms;

void (*game_tick_handler)();
std::atomic<int> *pending_tick;
double next_tick_ms;
int loop_shown = -1;

// Sleeps until the next tick is due, then gives it. Ticks keep to the clock,
// each due 20 ms after the one before: a wake-up that came late is made up
// by the next passes, which then find their ticks due at once, as long as
// it is by a few ticks. A longer pause, a hidden page's above all, starts
// the clock again from now instead: the game never races to catch up.
void sleep_until_tick() {
  double now = emscripten_get_now();
  if (now - next_tick_ms > catch_up_ms)
    next_tick_ms = now;
  while (now < next_tick_ms) {
    emscripten_sleep(static_cast<unsigned>(std::ceil(next_tick_ms - now)));
    now = emscripten_get_now();
  }
  game_tick_handler();
  // The page's clock is the one clock_ns reads here, in milliseconds.
  timing_note_tick(static_cast<long long>(now * 1e6));
  next_tick_ms += tick_ms;
}

} // namespace

void platform_install_tick(void (*handler)(), std::atomic<int> *pending) {
  game_tick_handler = handler;
  pending_tick = pending;
  next_tick_ms = emscripten_get_now() + tick_ms;
}

void platform_wait_pass(LoopId loop) {
  if (loop != loop_shown) {
    loop_shown = loop;
    page_loop(loop);
  }
  mix_ahead();
  // The menu and the prompt never clear the flag, and the pages clear it
  // after their step, so between their passes it is the next tick itself
  // that counts.
  if (loop != LOOP_GAME) {
    timing_note_pass(loop);
    sleep_until_tick();
    return;
  }
  while (pending_tick->load() == 0)
    sleep_until_tick();
  timing_note_pass(loop); // the tick this pass takes
}
