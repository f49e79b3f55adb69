// SPDX-License-Identifier: MIT
// Game pads, through the library's own joystick driver, stand for the keys
// they mean, as the page's pads do (packaging/web/keys.js): the game reads
// its keys alone. The d-pad and the left stick past half-way are the arrows,
// A and Start Enter, B and Back Esc. At the mode prompt every control answers
// 2, the window, as in the page: a player who wants full screen presses 1 on
// the keyboard, and a pad's first press should not take over a desktop.
#include "platform/desktop/desktop.h"

#ifdef ALLEGRO_HAVE_LINUX_JOYSTICK_H
#include <cstdio>
#include <unistd.h>
#endif

namespace {

enum { PAD_UP, PAD_DOWN, PAD_LEFT, PAD_RIGHT, PAD_ENTER, PAD_ESC, CONTROLS };
const int control_key[CONTROLS] = {KEY_UP,    KEY_DOWN,  KEY_LEFT,
                                   KEY_RIGHT, KEY_ENTER, KEY_ESC};
const int control_ascii[CONTROLS] = {0, 0, 0, 0, 13, 27};

// Buttons as Linux's xpad driver numbers them, and DirectInput a pad that
// speaks XInput: A 0, B 1, X 2, Y 3, LB 4, RB 5, Back 6, Start 7. Pads whose
// driver numbers otherwise get A and B at least as their first two.
enum { BUTTON_A = 0, BUTTON_B = 1, BUTTON_BACK = 6, BUTTON_START = 7 };
// The library's stick positions run to 127 (128 on Windows): past half-way.
const int HALF_WAY = 64;

// Who holds each key: the keyboard (told on its driver's thread) and the
// pads' controls (on the main thread). The key is down while either holds
// it, so neither lets go of the other's; both write it under the lock, so
// the last to write leaves what both hold.
std::atomic_flag key_lock = ATOMIC_FLAG_INIT;
bool keyboard_holds[KEY_MAX];
int pad_holds[KEY_MAX];

void lock_keys() {
  while (key_lock.test_and_set(std::memory_order_acquire)) {
  }
}

void unlock_keys() { key_lock.clear(std::memory_order_release); }

// Written only when it changes: the keyboard's own presses, which the
// library has set already, then write nothing on its thread beside the
// game's reads.
void set_key(int code) {
  bool down = keyboard_holds[code] || pad_holds[code] > 0;
  if ((key[code] != 0) != down)
    key[code] = down ? -1 : 0;
}

// The library has set or cleared the key already; this puts back a key the
// pad still holds, or one a pad let go of meanwhile.
void on_keyboard(int scancode) {
  int code = scancode & 0x7f;
  lock_keys();
  keyboard_holds[code] = (scancode & 0x80) == 0;
  set_key(code);
  unlock_keys();
}

// The scancode each pad's control holds, 0 for none.
int held[MAX_JOYSTICKS][CONTROLS];
bool pad_found;
// Pads come and go while the game runs, and the library looks only as it is
// installed: the platform looks four times a second, a few calls to the
// system each time, so that a pad pulled out while a direction is held
// carries the ape on for at most a quarter of a second.
const long long LOOK_PERIOD_NS = 250000000LL;
long long next_look_ns;

void hold(int code, int ascii) {
  lock_keys();
  bool was_down = key[code] != 0;
  pad_holds[code]++;
  set_key(code);
  unlock_keys();
  // The menu's pages and the end's box wait for a key in the buffer.
  if (!was_down)
    simulate_keypress(code << 8 | ascii);
}

void let_go(int code) {
  lock_keys();
  pad_holds[code]--;
  set_key(code);
  unlock_keys();
}

void pressed_now(const JOYSTICK_INFO &pad, bool now[CONTROLS]) {
  auto button = [&pad](int b) {
    return b < pad.num_buttons && pad.button[b].b;
  };
  for (int c = 0; c < CONTROLS; c++)
    now[c] = false;
  // The left stick is the first; a d-pad the drivers give as a hat is the
  // last stick of two axes (Linux's xpad and hid give its two axes last,
  // the library's Windows drivers list the hat last).
  for (int s = 0; s < pad.num_sticks; s++) {
    const JOYSTICK_STICK_INFO &stick = pad.stick[s];
    if (stick.num_axis < 2 || (s != 0 && s != pad.num_sticks - 1))
      continue;
    now[PAD_LEFT] |= stick.axis[0].pos <= -HALF_WAY;
    now[PAD_RIGHT] |= stick.axis[0].pos >= HALF_WAY;
    now[PAD_UP] |= stick.axis[1].pos <= -HALF_WAY;
    now[PAD_DOWN] |= stick.axis[1].pos >= HALF_WAY;
  }
  now[PAD_ENTER] = button(BUTTON_A) || button(BUTTON_START);
  now[PAD_ESC] = button(BUTTON_B) || button(BUTTON_BACK);
}

// A control pressed holds its key until a later pass finds it up, so the
// game, which reads its keys after this pass's look, sees every press.
void pad_moved(int p, const bool now[CONTROLS], bool prompting) {
  for (int c = 0; c < CONTROLS; c++) {
    if (now[c] && held[p][c] == 0) {
      held[p][c] = prompting ? KEY_2 : control_key[c];
      hold(held[p][c], prompting ? '2' : control_ascii[c]);
    } else if (!now[c] && held[p][c] != 0) {
      let_go(held[p][c]);
      held[p][c] = 0;
    }
  }
}

void let_go_of_pads() {
  const bool up[CONTROLS] = {};
  for (int p = 0; p < MAX_JOYSTICKS; p++)
    pad_moved(p, up, false);
}

#ifdef ALLEGRO_HAVE_LINUX_JOYSTICK_H
// The device the driver opened for pad i, found as it finds it: the path the
// configuration names, else the kernel's js device.
bool pad_device_there(int i) {
  char name[32], path[32];
  snprintf(name, sizeof name, "joystick_device_%d", i);
  const char *device = get_config_string("joystick", name, nullptr);
  if (device == nullptr && i == 0)
    device = get_config_string("joystick", "joystick_device", nullptr);
  if (device != nullptr)
    return access(device, F_OK) == 0;
  snprintf(path, sizeof path, "/dev/input/js%d", i);
  if (access(path, F_OK) == 0)
    return true;
  snprintf(path, sizeof path, "/dev/js%d", i);
  return access(path, F_OK) == 0;
}

// The driver goes on reading a device pulled out, and reads nothing: the
// device's name gone from /dev (or the configured path) tells instead.
bool pads_gone() {
  for (int i = 0; i < num_joysticks; i++)
    if (!pad_device_there(i))
      return true;
  return false;
}

// The driver is installed only once a device is there to open: looking
// then costs one access() a time, not the library's whole search.
bool pads_may_come() { return pad_device_there(0); }
#else
// The Windows drivers enumerate every input device to look, too slow for
// the middle of a game, and tell nothing of a pad pulled out: the pads are
// those found at the start.
bool pads_gone() { return false; }
bool pads_may_come() { return false; }
#endif

// With no pad the driver installs as "no joystick": that is no pad either.
void find_pads() {
  pad_found = install_joystick(JOY_TYPE_AUTODETECT) == 0 && num_joysticks > 0;
  if (!pad_found)
    remove_joystick();
}

// A pad gone lets go of its keys; a new one is found where the system can
// tell cheaply.
void look_for_pads() {
  if (pad_found && pads_gone()) {
    let_go_of_pads();
    remove_joystick();
    pad_found = false;
  }
  if (!pad_found && pads_may_come())
    find_pads();
}

} // namespace

void pads_start() {
  keyboard_lowlevel_callback = on_keyboard;
  find_pads();
  next_look_ns = clock_ns() + LOOK_PERIOD_NS;
}

void pads_pass(LoopId loop) {
  long long now_ns = clock_ns();
  if (now_ns >= next_look_ns) {
    next_look_ns = now_ns + LOOK_PERIOD_NS;
    look_for_pads();
  }
  if (!pad_found)
    return;
  poll_joystick();
  bool now[CONTROLS];
  for (int p = 0; p < num_joysticks && p < MAX_JOYSTICKS; p++) {
    pressed_now(joy[p], now);
    pad_moved(p, now, loop == LOOP_PROMPT);
  }
}
