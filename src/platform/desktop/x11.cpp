// SPDX-License-Identifier: MIT
// What an X11 desktop needs beyond the library's own driver: Xlib's errors,
// which by default end the program under the library's feet.
#include "platform/desktop/desktop.h"

#include <xalleg.h>

#include <X11/extensions/shmproto.h>
#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

namespace {

void (*display_lost_save)();
std::atomic<bool> ending{false};

// Xlib calls its handlers most often on the library's own X thread while the
// main thread goes on drawing; returning from the I/O one, or Xlib's own
// exit, would run the library's shut-down under the main thread's feet and
// abort or hang. The program ends here instead, keeping only the best score.
[[noreturn]] void end_game(const char *line) {
  // Two threads may each meet the fault: the first ends the program, and
  // the other must not cut its save short.
  if (ending.exchange(true))
    for (;;)
      pause();
  fprintf(stderr, "zarn: %s\n", line);
  if (display_lost_save != nullptr)
    display_lost_save();
  std::_Exit(1);
}

int on_display_lost(Display *display) {
  char line[256];
  snprintf(line, sizeof line, "the display %s has gone away; the game ends",
           DisplayString(display));
  end_game(line);
}

// MIT-SHM's request code on this display; 0 where it has none.
int shm_request;
std::atomic<bool> shm_refused{false}, shm_refused_news{false};

int on_x_error(Display *display, XErrorEvent *e) {
  // A server that cannot reach the program's shared memory (the program in
  // an IPC namespace of its own, as in some containers) refuses it only when
  // the library attaches it; the game then draws without it, and what the
  // library still does with the refused memory until then means nothing.
  if (shm_request != 0 && e->request_code == shm_request &&
      (e->minor_code == X_ShmAttach || shm_refused.load())) {
    if (!shm_refused.exchange(true))
      shm_refused_news.store(true);
    return 0;
  }
  char text[160], line[320];
  if (e->error_code == BadWindow || e->error_code == BadDrawable) {
    snprintf(line, sizeof line,
             "the game's window on the display %s is gone; the game ends",
             DisplayString(display));
  } else {
    XGetErrorText(display, e->error_code, text, sizeof text);
    snprintf(line, sizeof line,
             "the display %s refused the game's request (%s); the game ends",
             DisplayString(display), text);
  }
  end_game(line);
}

} // namespace

// The library asks this before every mode; once the server has refused the
// shared memory, the answer is no.
extern "C" Bool XShmQueryExtension(Display *display) {
  using Query = Bool (*)(Display *);
  static Query real =
      reinterpret_cast<Query>(dlsym(RTLD_NEXT, "XShmQueryExtension"));
  return !shm_refused.load() && real != nullptr && real(display);
}

void platform_on_display_lost(void (*save)()) { display_lost_save = save; }

void watch_x_errors() {
  int event, error;
  if (!XQueryExtension(_xwin.display, "MIT-SHM", &shm_request, &event, &error))
    shm_request = 0;
  XSetIOErrorHandler(on_display_lost);
  XSetErrorHandler(on_x_error);
}

void x11_check_window() {
  static long long next;
  long long now = clock_ns();
  if (now < next || gfx_driver == nullptr)
    return;
  next = now + 1000000000;
  XWindowAttributes a;
  XLOCK();
  XGetWindowAttributes(_xwin.display, _xwin.window, &a);
  XUNLOCK();
}

bool x11_shared_memory_refused() { return shm_refused_news.exchange(false); }
