// SPDX-License-Identifier: MIT
// What the desktop's platform files tell each other: the real machine,
// through the library's own drivers (X11 on Linux, DirectX on Windows).
// The game sees none of it; its door is platform/platform.h.
#ifndef ZARN_DESKTOP_H
#define ZARN_DESKTOP_H

#include "platform/platform.h"
#include "platform/timing.h"

// A rectangle of the desktop, in its pixels: a monitor.
struct Area {
  int x, y, w, h;
};

// An 8-bit desktop's shared table of colours as read from the display
// (8-bit components), read at most once for all the entries of one lookup:
// n is 0 until then.
struct SharedTable {
  int n;
  unsigned char rgb[256][3];
};

// present.cpp: called after every mode set, with the whole-number scale the
// mode was made for. The screen is cleared and the next frame drawn whole,
// centred. 0 on success.
int start_showing(int scale);

// display.cpp: full screen fitted again when its monitor changed (the
// screen resized, a monitor set up anew), as a new mode of the same role;
// called on the main thread between passes. 0, or -1 when no mode could be
// set again, and nothing shows the game.
int refit_full_screen();

// pad.cpp: game pads, looked for once the keyboard is installed (at once
// where none is there), then read on the main thread after each pass's
// wait, just before the game reads its keys.
void pads_start();
void pads_pass(LoopId loop);

// system.cpp: the close button's request, set on the library's own thread.
void request_close();

#ifdef ALLEGRO_WITH_XWINDOWS
// x11.cpp. Xlib's error handlers: a lost display or a refused request ends
// the game at once, keeping a raised best score; refused shared memory only
// makes the library go without it.
void watch_x_errors();
// A window destroyed by another program (xdotool's windowclose, a window
// manager's kill) shows only as an error on the next request that names
// it, and a still title sends none: called on every pass, this asks about
// the window once a second.
void x11_check_window();
// True once after a mode was set while the display refused shared memory:
// that mode shows nothing, and set again it uses none.
bool x11_shared_memory_refused();
// The monitor the game is on: the one holding the middle of its window once
// a mode shows it, else the one under the pointer. False where RandR 1.5
// lists none, and `out` is then the whole screen as it is now.
bool x11_monitor(bool window_shown, Area *out);
// Before a window of w x h is shown: centred on the monitor.
void x11_place_window(Area monitor, int w, int h);
// After every mode set: full screen covers the monitor and nothing else, and
// an 8-bit desktop's windows take the colours every program shares.
void x11_after_mode(Area monitor);
// Whether an 8-bit screen shows the shared table's colours, and the pixel of
// that table nearest a colour (8-bit components).
bool x11_shared_colours();
int x11_shared_pixel(int r, int g, int b, SharedTable *table);
#endif

#endif
