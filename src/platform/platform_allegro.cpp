// The real machine: the library's own system, timer, display and sound.
#include "platform/platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#ifdef ALLEGRO_UNIX
#include <semaphore.h>
#define ZARN_TICK_SEMAPHORE
#endif

#include "core/game_state.h"

#ifdef ALLEGRO_WINDOWS
#include <climits>
// After the game's own headers: windows.h defines names such as OBJ_FONT.
#include <winalleg.h>
#define ZARN_TICK_SEMAPHORE
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
#endif

namespace {

// Measurement for tools/bench.sh, off unless ZARN_TIMING names a file: when
// the mode prompt first polled the keys and when it last did (its answer),
// when the title screen was first on screen, and how many ticks the game
// loop took between its first and last. Written at exit, in nanoseconds of
// the monotonic clock; when off it costs one untaken branch a pass.
const char *timing_path;
struct Timing {
  long long prompt, answer, title, first_tick, last_tick;
  long menu_passes, game_ticks;
} timing;

long long now_ns() {
  using namespace std::chrono;
  return static_cast<long long>(
      duration_cast<nanoseconds>(steady_clock::now().time_since_epoch())
          .count());
}

void note_pass(LoopId loop) {
  long long now = now_ns();
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

void write_timing() {
  FILE *f = fopen(timing_path, "w");
  if (f == nullptr)
    return;
  fprintf(f, "prompt %lld\nanswer %lld\ntitle %lld\nticks %ld %lld %lld\n",
          timing.prompt, timing.answer, timing.title, timing.game_ticks,
          timing.first_tick, timing.last_tick);
  fclose(f);
}

} // namespace

int platform_install_system(char *why, int why_size) {
  timing_path = getenv("ZARN_TIMING");
  if (timing_path != nullptr)
    atexit(write_timing);
  // Our texts and font are plain 8-bit characters.
  set_uformat(U_ASCII);
  if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) == 0)
    return 0;
#ifdef ALLEGRO_UNIX
  snprintf(why, static_cast<size_t>(why_size),
           "no display could be opened (is DISPLAY set to a running X "
           "server?)%s%s",
           allegro_error[0] ? ": " : "", allegro_error);
#else
  snprintf(why, static_cast<size_t>(why_size),
           "the system driver could not be installed%s%s",
           allegro_error[0] ? ": " : "", allegro_error);
#endif
  return -1;
}

void platform_install_keyboard_and_timer() {
  install_keyboard();
  install_timer();
}

void platform_seed_random() { srand(static_cast<unsigned>(time(nullptr))); }

namespace {

void (*game_tick_handler)();

#ifdef ZARN_TICK_SEMAPHORE
// Posted on every tick, so that a pass can sleep until the next one instead
// of waking up every millisecond to look at the flag.
sem_t tick_sem;
bool tick_sem_ready;
#endif

void platform_tick() {
  game_tick_handler();
#ifdef ZARN_TICK_SEMAPHORE
  sem_post(&tick_sem);
#endif
}

} // namespace

void platform_install_tick(void (*handler)()) {
  game_tick_handler = handler;
#ifdef ZARN_TICK_SEMAPHORE
  tick_sem_ready = sem_init(&tick_sem, 0, 0) == 0;
#endif
  install_int_ex(platform_tick, BPS_TO_TIMER(50));
}

int platform_install_sound(const char *config_path) {
  return install_sound(DIGI_AUTODETECT, MIDI_NONE, config_path);
}

int platform_set_gfx_mode(GfxRole role) {
  int driver = GFX_AUTODETECT;
  switch (role) {
#ifdef ALLEGRO_WINDOWS
  case GFX_ROLE_WINDOW:
    driver = GFX_DIRECTX_WIN;
    break;
  case GFX_ROLE_WINDOW_FALLBACK:
    driver = GFX_GDI;
    break;
  case GFX_ROLE_FULLSCREEN:
    driver = GFX_DIRECTX_ACCEL;
    break;
#else
  case GFX_ROLE_WINDOW:
    driver = GFX_AUTODETECT_WINDOWED;
    break;
  case GFX_ROLE_WINDOW_FALLBACK:
#ifdef GFX_XWINDOWS
    driver = GFX_XWINDOWS;
#else
    driver = GFX_AUTODETECT_WINDOWED;
#endif
    break;
  case GFX_ROLE_FULLSCREEN:
    driver = GFX_AUTODETECT_FULLSCREEN;
    break;
#endif
  case GFX_ROLE_AUTODETECT:
    driver = GFX_AUTODETECT;
    break;
  }
  if (set_gfx_mode(driver, 320, 240, 0, 0) != 0)
    return -1;
  set_window_title("ZARN");
  return 0;
}

void platform_play_sample(SAMPLE *s, int loop) {
  play_sample(s, 200, 128, 1000, loop);
}

void platform_stop_sample(SAMPLE *s) { stop_sample(s); }

void platform_message(const char *text) { allegro_message("%s", text); }

namespace {

#ifdef ZARN_TICK_SEMAPHORE
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
  while (tick_flag.load() == 0)
    sleep_until_tick();
}

// The menu and the prompt never clear the flag, and the pages clear it after
// their step, so between their passes it is the next tick itself that counts.
void wait_between_passes() { sleep_until_tick(); }
#else
void wait_for_flag() {
  while (tick_flag.load() == 0)
    rest(1);
}

void wait_between_passes() {
  using namespace std::chrono;
  static long last_pass_ms = -1;
  auto now_ms = [] {
    return static_cast<long>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch())
            .count());
  };
  long now = now_ms();
  if (now == last_pass_ms) {
    rest(1);
    now = now_ms();
  }
  last_pass_ms = now;
}
#endif

} // namespace

// The loops spin by design; waiting here keeps the game from burning a core
// without changing anything the player sees, hears or presses: every tick
// still gets exactly one step and one screen copy, and a pass of every loop
// follows each tick, so the keys are looked at at least 50 times a second.
void platform_pass(LoopId loop) {
  if (loop != LOOP_GAME) {
    if (timing_path != nullptr)
      note_pass(loop);
    wait_between_passes();
    return;
  }
  wait_for_flag();
  if (timing_path != nullptr)
    note_pass(loop); // the tick this pass takes
}
