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

const double tick_ms = 20.0;

void (*game_tick_handler)();
std::atomic<int> *pending_tick;
double next_tick_ms;
int loop_shown = -1;

// Sleeps until the next tick is due, then gives it. Ticks keep to the clock
// (each is due 20 ms after the one before, however late a wake-up came),
// except after a pause of more than a tick, a hidden page's above all: the
// game then goes on from now instead of racing to catch up.
void sleep_until_tick() {
  double now = emscripten_get_now();
  while (now < next_tick_ms) {
    emscripten_sleep(static_cast<unsigned>(std::ceil(next_tick_ms - now)));
    now = emscripten_get_now();
  }
  game_tick_handler();
  next_tick_ms += tick_ms;
  if (now >= next_tick_ms)
    next_tick_ms = now + tick_ms;
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
    sleep_until_tick();
    return;
  }
  while (pending_tick->load() == 0)
    sleep_until_tick();
}
