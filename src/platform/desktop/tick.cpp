// SPDX-License-Identifier: MIT
// The tick and the pace of the loops. The loops spin by design; waiting here
// keeps the game from burning a core without changing anything the player
// sees, hears or presses: every tick still gets exactly one step and one
// screen copy, and a pass of every loop follows each tick, so the keys are
// looked at at least 50 times a second.
#include "platform/desktop/desktop.h"
#include "platform/tick_clock.h"

#include <cerrno>

#ifdef ALLEGRO_WINDOWS
#include <climits>
#include <winalleg.h>

#include <mmsystem.h>
namespace {
// Windows' own semaphore, under the names of the POSIX one used below.
using sem_t = HANDLE;
int sem_init(sem_t *s, int, unsigned value) {
  *s = CreateSemaphoreW(nullptr, static_cast<LONG>(value), LONG_MAX, nullptr);
  return *s != nullptr ? 0 : -1;
}
int sem_post(sem_t *s) { return ReleaseSemaphore(*s, 1, nullptr) ? 0 : -1; }
int sem_trywait(sem_t *s) {
  return WaitForSingleObject(*s, 0) == WAIT_OBJECT_0 ? 0 : -1;
}
int sem_wait(sem_t *s) {
  return WaitForSingleObject(*s, INFINITE) == WAIT_OBJECT_0 ? 0 : -1;
}
} // namespace
#else
#include <semaphore.h>
#endif

namespace {

void (*game_tick_handler)();
std::atomic<int> *pending_tick;

// Posted on every tick, so that a pass can sleep until the next one instead
// of waking up every millisecond to look at the flag.
sem_t tick_sem;
bool tick_sem_ready;

// Whether a call of the library's timer is a tick is the clock's to say:
// after a stall the library calls back to back for every period it missed.
// The few calls the clock lets through after a short one reach the game as
// one tick, since ticks do not queue; the clock keeps to its grid, so the
// next call on time is a tick again.
TickClock tick_clock;

void on_tick() {
  long long now = clock_ns();
  if (!tick_clock_take(&tick_clock, now))
    return;
  game_tick_handler();
  timing_note_tick(now);
  sem_post(&tick_sem);
}

// Sleeps until a tick arrives after the call; the ticks that came before are
// spent. A tick that comes between the draining and the wait is still
// counted by the semaphore, so none is slept through.
void sleep_until_tick() {
  if (!tick_sem_ready) {
    rest(1);
    return;
  }
  while (sem_trywait(&tick_sem) == 0) {
  }
  while (sem_wait(&tick_sem) != 0 && errno == EINTR) {
  }
}

void wait_for_flag() {
  while (pending_tick->load() == 0)
    sleep_until_tick();
}

// The menu and the prompt never clear the flag, and the pages clear it after
// their step, so between their passes it is the next tick itself that counts.
void wait_between_passes() { sleep_until_tick(); }

} // namespace

void platform_install_tick(void (*handler)(), std::atomic<int> *pending) {
  game_tick_handler = handler;
  pending_tick = pending;
#ifdef ALLEGRO_WINDOWS
  // Windows wakes a waiting thread on its own clock, every 15.6 ms unless a
  // program asks for finer: the library's timer thread would then post two
  // of the 50 ticks a second at once, and a tick does not queue, so one
  // would be lost.
  timeBeginPeriod(1);
#endif
  tick_sem_ready = sem_init(&tick_sem, 0, 0) == 0;
  tick_clock_start(&tick_clock, clock_ns());
  install_int_ex(on_tick, BPS_TO_TIMER(TICKS_PER_SECOND));
}

void platform_wait_pass(LoopId loop) {
#ifdef ALLEGRO_WITH_XWINDOWS
  x11_check_window();
#endif
  if (loop != LOOP_GAME) {
    timing_note_pass(loop);
    wait_between_passes();
  } else {
    wait_for_flag();
    timing_note_pass(loop); // the tick this pass takes
  }
  pads_pass(loop);
}
