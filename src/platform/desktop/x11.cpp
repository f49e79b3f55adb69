// SPDX-License-Identifier: MIT
// What an X11 desktop needs beyond the library's own driver: the monitors of
// a screen, where the window goes and what full screen covers, the colours
// of an 8-bit desktop, and Xlib's errors, which by default end the program
// under the library's feet.
#include "platform/desktop/desktop.h"

#include <xalleg.h>

#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shmproto.h>
#include <cstdio>
#include <dlfcn.h>
#include <initializer_list>
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

// The middle of the game's window once a mode shows it, else the pointer;
// left as it was where the server cannot say.
void game_point(Display *d, bool window_shown, int *x, int *y) {
  Window root = DefaultRootWindow(d), child;
  if (window_shown) {
    XTranslateCoordinates(d, _xwin.window, root, _xwin.window_width / 2,
                          _xwin.window_height / 2, x, y, &child);
    return;
  }
  Window r;
  int wx, wy;
  unsigned mask;
  XQueryPointer(d, root, &r, &child, x, y, &wx, &wy, &mask);
}

// RandR's version on the display as major * 100 + minor, 0 without it.
int randr_version(Display *d) {
  int event, error, major = 0, minor = 0;
  if (!XRRQueryExtension(d, &event, &error) ||
      !XRRQueryVersion(d, &major, &minor))
    return 0;
  return major * 100 + minor;
}

} // namespace

// Full screen never switches a monitor's video mode: it is a window over one
// monitor at that monitor's size. Given a size, the library would switch the
// first monitor through XF86VidMode to the nearest mode it lists, and on a
// desktop of several monitors such a switch can make them all show the same.
// Defined here, this is the answer the library gets.
extern "C" Bool XF86VidModeQueryExtension(Display *, int *, int *) {
  return False;
}

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
  if (refit_full_screen() != 0)
    end_game("the screen changed and the game cannot be shown on it; the "
             "game ends");
}

bool x11_shared_memory_refused() { return shm_refused_news.exchange(false); }

bool x11_monitor(bool window_shown, Area *out) {
  Display *d = _xwin.display;
  XLOCK();
  // The whole screen as the server has it now (Xlib's own figure is the one
  // from the connection's start, and a screen may be resized since): the
  // one monitor without RandR 1.5, or where none is listed.
  Window root;
  int rx, ry;
  unsigned rw, rh, border, depth;
  if (XGetGeometry(d, DefaultRootWindow(d), &root, &rx, &ry, &rw, &rh, &border,
                   &depth))
    *out = {0, 0, static_cast<int>(rw), static_cast<int>(rh)};
  // Monitors came with RandR 1.5. The display is the one the program opened
  // at its start, so it is asked once.
  static const bool has_monitors = randr_version(d) >= 105;
  if (!has_monitors) {
    XUNLOCK();
    return false;
  }
  int x = 0, y = 0, n = 0;
  game_point(d, window_shown, &x, &y);
  XRRMonitorInfo *m = XRRGetMonitors(d, DefaultRootWindow(d), True, &n);
  XUNLOCK();
  // The smallest monitor holding the point (a server may list one over the
  // whole screen beside those set up); else the primary one; else the first.
  int pick = -1, primary = n > 0 ? 0 : -1;
  for (int i = 0; i < n; i++) {
    bool holds = x >= m[i].x && x < m[i].x + m[i].width && y >= m[i].y &&
                 y < m[i].y + m[i].height;
    if (holds &&
        (pick < 0 || m[i].width * m[i].height < m[pick].width * m[pick].height))
      pick = i;
    if (m[i].primary)
      primary = i;
  }
  if (pick < 0)
    pick = primary;
  if (pick >= 0)
    *out = {m[pick].x, m[pick].y, m[pick].width, m[pick].height};
  if (m != nullptr)
    XRRFreeMonitors(m);
  return pick >= 0;
}

void x11_place_window(Area monitor, int w, int h) {
  XLOCK();
  XMoveWindow(_xwin.display, _xwin.wm_window, monitor.x + (monitor.w - w) / 2,
              monitor.y + (monitor.h - h) / 2);
  XUNLOCK();
}

void x11_after_mode(Area monitor) {
  Display *d = _xwin.display;
  XLOCK();
  // The library's full-screen window covers the whole X screen, which on a
  // desktop of several monitors spans them all: it is made to cover the
  // game's monitor alone, the screen centred on it.
  if (_xwin.fs_window != None) {
    XMoveResizeWindow(d, _xwin.fs_window, monitor.x, monitor.y, monitor.w,
                      monitor.h);
    XMoveWindow(d, _xwin.window, (monitor.w - _xwin.window_width) / 2,
                (monitor.h - _xwin.window_height) / 2);
  }
  if (x11_shared_colours()) {
    Colormap shared = DefaultColormap(d, _xwin.screen);
    for (Window w : {_xwin.wm_window, _xwin.window, _xwin.fs_window})
      if (w != None)
        XSetWindowColormap(d, w, shared);
    XInstallColormap(d, shared);
  }
  XUNLOCK();
}

// An 8-bit desktop has one table of 256 colours for every program, and a
// VNC server of depth 8, or a screenshot, shows the screen through it. The
// library gives the game a table of its own, right only while it is
// installed and wrong for everything else meanwhile; the game takes its
// colours from the shared table instead.
bool x11_shared_colours() {
  return _xwin.visual != nullptr && _xwin.visual->c_class == PseudoColor &&
         _xwin.window_depth == 8;
}

int x11_shared_pixel(int r, int g, int b, SharedTable *table) {
  Display *d = _xwin.display;
  Colormap shared = DefaultColormap(d, _xwin.screen);
  XColor want{};
  want.red = static_cast<unsigned short>(r * 257);
  want.green = static_cast<unsigned short>(g * 257);
  want.blue = static_cast<unsigned short>(b * 257);
  want.flags = DoRed | DoGreen | DoBlue;
  XLOCK();
  Status got = XAllocColor(d, shared, &want);
  // A table full of other programs' colours: the nearest one in it. Once a
  // colour found no room none is left for the lookup's later ones, so the
  // table as read then serves them all.
  if (!got && table->n == 0) {
    XColor cells[256];
    int n = MIN(256, _xwin.visual->map_entries);
    for (int i = 0; i < n; i++)
      cells[i].pixel = static_cast<unsigned long>(i);
    if (n > 0)
      XQueryColors(d, shared, cells, n);
    for (int i = 0; i < n; i++) {
      table->rgb[i][0] = static_cast<unsigned char>(cells[i].red / 257);
      table->rgb[i][1] = static_cast<unsigned char>(cells[i].green / 257);
      table->rgb[i][2] = static_cast<unsigned char>(cells[i].blue / 257);
    }
    table->n = n;
  }
  XUNLOCK();
  if (got)
    return static_cast<int>(want.pixel);
  long best = -1;
  for (int i = 0; i < table->n; i++) {
    long dr = table->rgb[i][0] - r, dg = table->rgb[i][1] - g,
         db = table->rgb[i][2] - b;
    long dist = dr * dr + dg * dg + db * db;
    if (best < 0 || dist < best) {
      best = dist;
      want.pixel = static_cast<unsigned long>(i);
    }
  }
  return static_cast<int>(want.pixel);
}
