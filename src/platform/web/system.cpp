// SPDX-License-Identifier: MIT
// The library's system in the page: its start and end, the keys the page
// hands over, the message box, and the page being hidden or closed, which is
// this machine's way of ending a program from outside.
#include "platform/start.h"
#include "platform/web/web.h"

#include <emscripten.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

void (*save_before_the_end)();

EM_JS(void, page_key_name, (const char *name, int scancode),
      { Page.keyName(UTF8ToString(name), scancode); });
EM_JS(void, page_message, (const char *text),
      { Page.message(UTF8ToString(text)); });

// The keys the game reads, by the browser's names of their places.
struct PageKey {
  const char *name;
  int scancode;
};
const PageKey page_keys[] = {
    {"ArrowLeft", KEY_LEFT},
    {"ArrowRight", KEY_RIGHT},
    {"ArrowUp", KEY_UP},
    {"ArrowDown", KEY_DOWN},
    {"Escape", KEY_ESC},
    {"Enter", KEY_ENTER},
    {"NumpadEnter", KEY_ENTER_PAD},
    {"Space", KEY_SPACE},
    {"Tab", KEY_TAB},
    {"Backspace", KEY_BACKSPACE},
};

} // namespace

int platform_install_system(char *why, int why_size) {
  start_system();
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
    snprintf(why, static_cast<size_t>(why_size), "%s", allegro_error);
    return -1;
  }
  offer_page_sound();
  return 0;
}

// The page hands each key over as it goes down or up (web_key below): the
// library needs no keyboard driver, and the page's clock stands in for the
// timer (tick.cpp).
int platform_install_keyboard_and_timer(char *, int) {
  char name[16];
  for (const PageKey &k : page_keys)
    page_key_name(k.name, k.scancode);
  for (int i = 0; i < 26; i++) {
    snprintf(name, sizeof name, "Key%c", 'A' + i);
    page_key_name(name, KEY_A + i);
  }
  for (int i = 0; i < 10; i++) {
    snprintf(name, sizeof name, "Digit%d", i);
    page_key_name(name, KEY_0 + i);
    snprintf(name, sizeof name, "Numpad%d", i);
    page_key_name(name, KEY_0_PAD + i);
  }
  return 0;
}

void platform_message(const char *text) { page_message(text); }

// Nothing in the page asks the game to quit: a closed page ends at once.
bool platform_quit_requested() { return false; }
int platform_quit_exit_value() { return 0; }

void platform_on_display_lost(void (*save)()) { save_before_the_end = save; }

// The best score was kept in the page's storage as it was saved.
void platform_shut_down() { allegro_exit(); }

// A key went down (1) or up (0); a key going down is also put into the
// keyboard buffer, as the library's own drivers do.
extern "C" EMSCRIPTEN_KEEPALIVE void web_key(int scancode, int down,
                                             int ascii) {
  if (scancode <= 0 || scancode >= KEY_MAX)
    return;
  key[scancode] = down ? -1 : 0;
  if (down)
    simulate_keypress(scancode << 8 | ascii);
}

extern "C" EMSCRIPTEN_KEEPALIVE void web_keys_up() {
  for (int k = 0; k < KEY_MAX; k++)
    key[k] = 0;
}

// A hidden page may be closed, or dropped by the browser, without another
// word: a best score the run raised is kept now, as the desktop keeps it at
// a signal. The game goes on.
extern "C" EMSCRIPTEN_KEEPALIVE void web_page_hidden() {
  if (save_before_the_end != nullptr)
    save_before_the_end();
}
