// SPDX-License-Identifier: MIT
// The display modes of the real machine, by the role start-up asks for. Each
// role is tried first at the size of the monitor the game is on and the
// desktop's colour depth (the picture enlarged a whole number of times),
// then as the 320x240 8-bit mode it always was. Asking for the monitor's own
// size means full screen never switches its video mode; asking for the
// desktop's depth means the driver only copies.
#include "platform/desktop/desktop.h"

namespace {

struct ModeTry {
  int driver, w, h, depth, scale;
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
    return GFX_XWINDOWS;
  case GFX_ROLE_FULLSCREEN:
    return GFX_AUTODETECT_FULLSCREEN;
#endif
  case GFX_ROLE_AUTODETECT:
    break;
  }
  return GFX_AUTODETECT;
}

bool is_window(GfxRole role) {
  return role == GFX_ROLE_WINDOW || role == GFX_ROLE_WINDOW_FALLBACK;
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

// The monitor the game is on; elsewhere than on X11 the desktop is one.
Area game_monitor() {
  Area m = {0, 0, desktop_w, desktop_h};
#ifdef ALLEGRO_WITH_XWINDOWS
  x11_monitor(gfx_driver != nullptr, &m);
#endif
  return m;
}

// A window at most 90 % of the monitor's width and 85 % of its height leaves
// room for panels and a title bar; full screen takes whatever fits.
int scale_for(bool window, Area m) {
  int k = window ? MIN(9 * m.w / (10 * FRAME_W), 85 * m.h / (100 * FRAME_H))
                 : MIN(m.w / FRAME_W, m.h / FRAME_H);
  return MAX(k, 1);
}

// What the last mode was set for: its role, and the monitor it fits.
GfxRole shown_role;
Area fitted;

int set_mode(const ModeTry &m) {
  set_color_depth(m.depth);
  int failed = set_gfx_mode(m.driver, m.w, m.h, 0, 0);
#ifdef ALLEGRO_WITH_XWINDOWS
  // A display that cannot reach the game's shared memory refuses it only
  // once the mode is up, which then shows nothing; set again, it uses none.
  if (failed == 0 && x11_shared_memory_refused())
    failed = set_gfx_mode(m.driver, m.w, m.h, 0, 0);
#endif
  // The game's buffer and pack stay 8-bit whatever the screen is.
  set_color_depth(8);
  return failed;
}

} // namespace

int platform_set_gfx_mode(GfxRole role) {
  read_desktop();
  bool window = is_window(role);
  Area monitor = game_monitor();
  int k = scale_for(window, monitor);
  int driver = role_driver(role);
  ModeTry tries[2] = {{driver, window ? FRAME_W * k : monitor.w,
                       window ? FRAME_H * k : monitor.h, desktop_depth, k},
                      {driver, FRAME_W, FRAME_H, 8, 1}};
  for (const ModeTry &m : tries) {
    if (m.depth == 0 || m.w < FRAME_W * m.scale || m.h < FRAME_H * m.scale)
      continue;
#ifdef ALLEGRO_WITH_XWINDOWS
    if (window)
      x11_place_window(monitor, m.w, m.h);
#endif
    if (set_mode(m) != 0)
      continue;
#ifdef ALLEGRO_WITH_XWINDOWS
    x11_after_mode(monitor);
#endif
    if (start_showing(m.scale) != 0)
      continue;
    set_window_title("ZARN");
    set_close_button_callback(request_close);
    shown_role = role;
    fitted = monitor;
    return 0;
  }
  return -1;
}

int refit_full_screen() {
  if (gfx_driver == nullptr || is_window(shown_role))
    return 0;
  Area now = game_monitor();
  if (now.x == fitted.x && now.y == fitted.y && now.w == fitted.w &&
      now.h == fitted.h)
    return 0;
  // A new mode starts from the library's default colours.
  PALETTE colours;
  get_palette(colours);
  if (platform_set_gfx_mode(shown_role) != 0)
    return -1;
  set_palette(colours);
  return 0;
}
