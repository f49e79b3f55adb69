// SPDX-License-Identifier: MIT
// The tick and the pace of the loops in the page. The page has no timer
// thread: the pass wait sleeps (the program is suspended, the page runs on)
// until the tick clock says the next tick is due, and gives the tick there.
// As on the desktop, every tick gets exactly one step and one screen copy,
// and a pass of every loop follows each tick.
#include "platform/tick_clock.h"
#include "platform/web/web.h"

#include <emscripten.h>

namespace {

EM_JS(void, page_prompting, (int on, int answers_y, int line_h),
      { Page.prompting(on, answers_y, line_h); });
// The game pads' controls into the keys, just before the pass reads them.
EM_JS(void, page_read_pads, (), { Page.readPads(); });

void (*game_tick_handler)();
std::atomic<int> *pending_tick;
TickClock tick_clock;
int loop_shown = -1;
// The passes begun: the page lets a key change only once a pass has run
// since its last change, so that a tap, however short, is seen.
unsigned passes_begun;

// Sleeps until the clock gives the next tick, and gives it to the game.
// clock_ns reads the page's own clock here, which a hidden page's sleep does
// not stop.
void sleep_until_tick() {
  long long now = clock_ns();
  while (!tick_clock_take(&tick_clock, now)) {
    long long wait = tick_clock_wait(&tick_clock, now);
    emscripten_sleep(static_cast<unsigned>((wait + 999'999) / 1'000'000));
    now = clock_ns();
  }
  game_tick_handler();
  timing_note_tick(now);
}

} // namespace

void platform_install_tick(void (*handler)(), std::atomic<int> *pending) {
  game_tick_handler = handler;
  pending_tick = pending;
  tick_clock_start(&tick_clock, clock_ns());
}

void platform_wait_pass(LoopId loop) {
  passes_begun++;
  // The page asks for full screen only while the prompt is up, and a tap on
  // an answer answers it.
  if (loop != loop_shown) {
    loop_shown = loop;
    page_prompting(loop == LOOP_PROMPT, PROMPT_ANSWERS_Y, PROMPT_LINE_H);
  }
  mix_ahead();
  // The menu and the prompt never clear the flag, and the pages clear it
  // after their step, so between their passes it is the next tick itself
  // that counts.
  if (loop != LOOP_GAME) {
    timing_note_pass(loop);
    sleep_until_tick();
    page_read_pads();
    return;
  }
  while (pending_tick->load() == 0)
    sleep_until_tick();
  page_read_pads();
  timing_note_pass(loop); // the tick this pass takes
}

extern "C" EMSCRIPTEN_KEEPALIVE unsigned web_passes() { return passes_begun; }
