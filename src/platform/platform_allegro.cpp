// SPDX-License-Identifier: MIT
// The real machine: the library's own system, timer, display and sound.
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef ALLEGRO_UNIX
#include <semaphore.h>
#define ZARN_TICK_SEMAPHORE
#endif
#ifdef ALLEGRO_WITH_XWINDOWS
#include <X11/Xlib.h>
#endif

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
// loop took between its first and last, and how long the present step took
// in play (frames, total, longest). Written at exit, in nanoseconds of
// the monotonic clock; when off it costs one untaken branch a pass.
const char *timing_path;
struct Timing {
  long long prompt, answer, title, first_tick, last_tick;
  long menu_passes, game_ticks;
  long presents;
  long long present_total, present_max;
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
  fprintf(f,
          "prompt %lld\nanswer %lld\ntitle %lld\nticks %ld %lld %lld\n"
          "present %ld %lld %lld\n",
          timing.prompt, timing.answer, timing.title, timing.game_ticks,
          timing.first_tick, timing.last_tick, timing.presents,
          timing.present_total, timing.present_max);
  fclose(f);
}

} // namespace

namespace {

// What the player or the system asked for: nothing yet, the close button,
// or the number of the signal that asks the program to end.
enum { QUIT_NONE = -1, QUIT_CLOSE = 0 };
std::atomic<int> quit_request{QUIT_NONE};

void on_signal(int n) {
  // A second signal finds the program deaf to the first: end it now.
  if (quit_request.load() > 0)
    std::_Exit(128 + n);
  quit_request.store(n);
}

void (*display_lost_save)();

#ifdef ALLEGRO_WITH_XWINDOWS
// Xlib calls this when the server has gone, most often on the library's own
// X thread while the main thread goes on drawing; returning, or Xlib's own
// exit, would run the library's shut-down under the main thread's feet and
// abort. The program ends here instead, keeping only the best score.
int on_display_lost(Display *display) {
  fprintf(stderr, "zarn: the display %s has gone away; the game ends\n",
          DisplayString(display));
  if (display_lost_save != nullptr)
    display_lost_save();
  std::_Exit(1);
}
#endif

// The picture on the screen. Allegro's own stretch_blit of the frame to a
// large 8-bit screen costs 7 % to 11 % of a core, and the X11 driver then
// turns every 8-bit pixel into the desktop's format. Here the frame is
// enlarged through a palette lookup straight into a bitmap of the screen's
// own depth, so the driver only copies, and only the rows that changed since
// the last frame are enlarged and sent: the title and the pages, still most
// of the time, then cost nearly nothing (at 1280x960, about 2.5 % of a core
// on the title and in play, against 6 % to 7 % when every frame is sent
// whole). The lookup follows set_palette's _current_palette and is rebuilt
// only when that changed.
struct Shown {
  int k, x, y;
  BITMAP *big; // null: an 8-bit screen of 320x240 takes the frame as it is
  PALETTE palette;
  unsigned char pixels[240][320];
  bool valid;
} shown;

struct Rgb24 {
  unsigned char b[3];
};
unsigned char lut8[256];
uint16_t lut16[256];
Rgb24 lut24[256];
uint32_t lut32[256];

// The 6-bit components widened as the X11 driver does it for an 8-bit
// screen, so the colours are the ones the game always had.
int widen(int c) { return (c << 2) | (c >> 4); }

void build_lookup(int depth) {
  for (int i = 0; i < 256; i++) {
    const RGB &p = shown.palette[i];
    int c = depth == 8 ? i
                       : makecol_depth(depth, widen(p.r & 63), widen(p.g & 63),
                                       widen(p.b & 63));
    lut8[i] = static_cast<unsigned char>(c);
    lut16[i] = static_cast<uint16_t>(c);
    lut24[i] = {{static_cast<unsigned char>(c),
                 static_cast<unsigned char>(c >> 8),
                 static_cast<unsigned char>(c >> 16)}};
    lut32[i] = static_cast<uint32_t>(c);
  }
}

template <typename Pixel> void enlarge_row(int y, const Pixel *lut) {
  int k = shown.k;
  Pixel *out = reinterpret_cast<Pixel *>(shown.big->line[y * k]);
  for (int x = 0; x < 320; x++) {
    Pixel p = lut[shown.pixels[y][x]];
    for (int i = 0; i < k; i++)
      *out++ = p;
  }
  for (int r = 1; r < k; r++)
    memcpy(shown.big->line[y * k + r], shown.big->line[y * k],
           sizeof(Pixel) * 320 * static_cast<size_t>(k));
}

void enlarge_row(int y) {
  switch (bitmap_color_depth(shown.big)) {
  case 8:
    enlarge_row(y, lut8);
    break;
  case 15:
  case 16:
    enlarge_row(y, lut16);
    break;
  case 24:
    enlarge_row(y, lut24);
    break;
  default:
    enlarge_row(y, lut32);
    break;
  }
}

// Called after every mode set: the screen is black, and the next frame is
// drawn whole, centred.
int start_showing(int k) {
  if (shown.big != nullptr)
    destroy_bitmap(shown.big);
  shown.big = nullptr;
  shown.k = k;
  shown.x = (SCREEN_W - 320 * k) / 2;
  shown.y = (SCREEN_H - 240 * k) / 2;
  shown.valid = false;
  clear_to_color(screen, 0);
  if (k == 1 && bitmap_color_depth(screen) == 8)
    return 0;
  shown.big = create_bitmap_ex(bitmap_color_depth(screen), 320 * k, 240 * k);
  return shown.big != nullptr ? 0 : -1;
}

void present(BITMAP *frame) {
  if (shown.big == nullptr) {
    blit(frame, screen, 0, 0, shown.x, shown.y, 320, 240);
    return;
  }
  bool all = !shown.valid ||
             memcmp(shown.palette, _current_palette, sizeof(PALETTE)) != 0;
  if (all) {
    memcpy(shown.palette, _current_palette, sizeof(PALETTE));
    build_lookup(bitmap_color_depth(shown.big));
  }
  int top = 240, bottom = -1;
  for (int y = 0; y < 240; y++) {
    if (!all && memcmp(shown.pixels[y], frame->line[y], 320) == 0)
      continue;
    memcpy(shown.pixels[y], frame->line[y], 320);
    enlarge_row(y);
    top = MIN(top, y);
    bottom = y;
  }
  shown.valid = true;
  // One blit of the rows that changed: one image sent to the display, so a
  // frame never shows half drawn.
  if (bottom >= 0)
    blit(shown.big, screen, 0, top * shown.k, shown.x, shown.y + top * shown.k,
         320 * shown.k, (bottom - top + 1) * shown.k);
}

} // namespace

void platform_present(BITMAP *frame) {
  if (timing_path == nullptr || timing.game_ticks == 0) {
    present(frame);
    return;
  }
  long long t0 = now_ns();
  present(frame);
  long long t = now_ns() - t0;
  timing.presents++;
  timing.present_total += t;
  timing.present_max = MAX(timing.present_max, t);
}

bool platform_quit_requested() { return quit_request.load() != QUIT_NONE; }

int platform_quit_exit_value() {
  int n = quit_request.load();
  return n > 0 ? 128 + n : 0;
}

void platform_on_display_lost(void (*save)()) { display_lost_save = save; }

int platform_install_system(char *why, int why_size) {
  timing_path = getenv("ZARN_TIMING");
  if (timing_path != nullptr)
    atexit(write_timing);
  // Our texts and font are plain 8-bit characters.
  set_uformat(U_ASCII);
  if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) == 0) {
    // In place of the library's own handlers, which end the program at once.
    signal(SIGTERM, on_signal);
    signal(SIGINT, on_signal);
#ifdef SIGHUP
    signal(SIGHUP, on_signal);
#endif
#ifdef ALLEGRO_WITH_XWINDOWS
    XSetIOErrorHandler(on_display_lost);
#endif
    return 0;
  }
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
std::atomic<int> *pending_tick;

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

void platform_install_tick(void (*handler)(), std::atomic<int> *pending) {
  game_tick_handler = handler;
  pending_tick = pending;
#ifdef ZARN_TICK_SEMAPHORE
  tick_sem_ready = sem_init(&tick_sem, 0, 0) == 0;
#endif
  install_int_ex(platform_tick, BPS_TO_TIMER(50));
}

int platform_install_sound(const char *config_path) {
  return install_sound(DIGI_AUTODETECT, MIDI_NONE, config_path);
}

namespace {

// Each role is tried first at the desktop's own size and colour depth (the
// picture enlarged k times), then as the 320x240 8-bit mode it always was.
// Asking for the desktop's size means full screen never switches the
// monitor's video mode; asking for its depth means the driver only copies.
struct ModeTry {
  int driver, w, h, depth, k;
};

int role_driver(GfxRole role) {
  switch (role) {
#ifdef ALLEGRO_WINDOWS
  case GFX_ROLE_WINDOW:
    return GFX_DIRECTX_WIN;
  case GFX_ROLE_WINDOW_FALLBACK:
    return GFX_GDI;
  case GFX_ROLE_FULLSCREEN:
    return GFX_DIRECTX_ACCEL;
#else
  case GFX_ROLE_WINDOW:
    return GFX_AUTODETECT_WINDOWED;
  case GFX_ROLE_WINDOW_FALLBACK:
#ifdef GFX_XWINDOWS
    return GFX_XWINDOWS;
#else
    return GFX_AUTODETECT_WINDOWED;
#endif
  case GFX_ROLE_FULLSCREEN:
    return GFX_AUTODETECT_FULLSCREEN;
#endif
  case GFX_ROLE_AUTODETECT:
    break;
  }
  return GFX_AUTODETECT;
}

// The desktop as it was before any mode was set: a full-screen mode may
// change what the system reports afterwards.
int desktop_w, desktop_h, desktop_depth = -1;

void read_desktop() {
  if (desktop_depth >= 0)
    return;
  desktop_depth = desktop_color_depth();
  if (get_desktop_resolution(&desktop_w, &desktop_h) != 0)
    desktop_w = desktop_h = 0;
  if (desktop_depth != 8 && desktop_depth != 15 && desktop_depth != 16 &&
      desktop_depth != 24 && desktop_depth != 32)
    desktop_depth = 0;
}

// A window at most 90 % of the desktop's width and 85 % of its height leaves
// room for panels and a title bar; full screen takes whatever fits.
int scale_for(GfxRole role) {
  int k = role == GFX_ROLE_WINDOW || role == GFX_ROLE_WINDOW_FALLBACK
              ? MIN(9 * desktop_w / (10 * 320), 85 * desktop_h / (100 * 240))
              : MIN(desktop_w / 320, desktop_h / 240);
  return MAX(k, 1);
}

void on_close_button() { quit_request.store(QUIT_CLOSE); }

// A key let go while another window has the focus would stay down and
// swallow its next presses, and a key typed before would still wait in the
// buffer. The X11 keyboard driver already lets go of the keys on a focus
// change, not every driver does, and none empties the buffer. This runs on
// the driver's own thread, where it writes the key array too.
void on_focus_lost() {
  for (int k = 0; k < KEY_MAX; k++)
    key[k] = 0;
  clear_keybuf();
}

} // namespace

int platform_set_gfx_mode(GfxRole role) {
  read_desktop();
  int k = scale_for(role);
  int driver = role_driver(role);
  bool window = role == GFX_ROLE_WINDOW || role == GFX_ROLE_WINDOW_FALLBACK;
  ModeTry tries[2] = {{driver, window ? 320 * k : desktop_w,
                       window ? 240 * k : desktop_h, desktop_depth, k},
                      {driver, 320, 240, 8, 1}};
  for (const ModeTry &m : tries) {
    if (m.depth == 0 || m.w < 320 * m.k || m.h < 240 * m.k)
      continue;
    set_color_depth(m.depth);
    int failed = set_gfx_mode(m.driver, m.w, m.h, 0, 0);
    // The game's buffer and pack stay 8-bit whatever the screen is.
    set_color_depth(8);
    if (failed != 0)
      continue;
    if (start_showing(m.k) != 0)
      continue;
    set_window_title("ZARN");
    set_close_button_callback(on_close_button);
    remove_display_switch_callback(on_focus_lost);
    set_display_switch_callback(SWITCH_OUT, on_focus_lost);
    return 0;
  }
  return -1;
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
  while (pending_tick->load() == 0)
    sleep_until_tick();
}

// The menu and the prompt never clear the flag, and the pages clear it after
// their step, so between their passes it is the next tick itself that counts.
void wait_between_passes() { sleep_until_tick(); }
#else
void wait_for_flag() {
  while (pending_tick->load() == 0)
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
