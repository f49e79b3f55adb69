// SPDX-License-Identifier: MIT
// Measurement for tools/bench.sh: when the mode prompt first polled the keys
// and when it last did (its answer), when the title screen was first on
// screen, how many ticks the game loop took between its first and last, how
// many the timer handed over between its first and last, and how long the
// present step took in play (frames, total, longest). Written at exit, in
// nanoseconds of the monotonic clock.
#include "platform/timing.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

const char *timing_path;
struct Timing {
  long long prompt, answer, title, first_tick, last_tick;
  long menu_passes, game_ticks;
  long presents;
  long long present_total, present_max;
} timing;
// Written on the timer's thread.
std::atomic<long> timer_ticks;
std::atomic<long long> timer_first, timer_last;

void write_timing() {
  FILE *f = fopen(timing_path, "w");
  if (f == nullptr)
    return;
  fprintf(f,
          "prompt %lld\nanswer %lld\ntitle %lld\nticks %ld %lld %lld\n"
          "present %ld %lld %lld\ntimer %ld %lld %lld\n",
          timing.prompt, timing.answer, timing.title, timing.game_ticks,
          timing.first_tick, timing.last_tick, timing.presents,
          timing.present_total, timing.present_max, timer_ticks.load(),
          timer_first.load(), timer_last.load());
  fclose(f);
}

} // namespace

long long clock_ns() {
  using namespace std::chrono;
  return static_cast<long long>(
      duration_cast<nanoseconds>(steady_clock::now().time_since_epoch())
          .count());
}

void timing_start() {
  timing_path = getenv("ZARN_TIMING");
  if (timing_path != nullptr)
    atexit(write_timing);
}

void timing_note_pass(LoopId loop) {
  if (timing_path == nullptr)
    return;
  long long now = clock_ns();
  if (loop == LOOP_PROMPT) {
    if (timing.prompt == 0)
      timing.prompt = now;
    timing.answer = now;
  } else if (loop == LOOP_MENU && ++timing.menu_passes == 2) {
    timing.title = now; // the first pass has copied the title to the screen
  } else if (loop == LOOP_GAME) {
    if (timing.game_ticks++ == 0)
      timing.first_tick = now;
    timing.last_tick = now;
  }
}

void timing_note_tick(long long now) {
  if (timing_path == nullptr)
    return;
  if (timer_ticks.fetch_add(1) == 0)
    timer_first.store(now);
  timer_last.store(now);
}

// Only the present steps of play are timed: the title and the pages send
// little, and would make the mean say nothing.
long long timing_present_begin() {
  return timing_path != nullptr && timing.game_ticks > 0 ? clock_ns() : 0;
}

void timing_present_end(long long begin) {
  if (begin == 0)
    return;
  long long t = clock_ns() - begin;
  timing.presents++;
  timing.present_total += t;
  if (t > timing.present_max)
    timing.present_max = t;
}
