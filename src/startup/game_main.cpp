// SPDX-License-Identifier: MIT
#include "startup/game_main.h"

#include "core/game_state.h"
#include "front/front.h"
#include "platform/platform.h"
#include "startup/display_mode.h"
#include "startup/hiscore.h"
#include "startup/pack.h"

#include <cstdio>
#include <cstdlib>

namespace {

void show_error(const char *format, const char *detail) {
  char text[512];
  snprintf(text, sizeof text, format, detail);
  platform_message(text);
}

// Said on the terminal and in a box. The terminal gets the text whole: a
// box may not show every path (xmessage shows UTF-8 as Latin-1 and cuts
// long lines).
void tell(const char *text) {
  fprintf(stderr, "zarn: %s", text);
  platform_message(text);
}

// A run that ends other than through QUIT writes the file only when it
// raised the best score. Here the display has gone, or the page is hidden or
// closed, possibly while the game over's box still shows the score just won:
// it keeps what the screen shows, as the close button would, and what was
// lost goes to the terminal.
void save_if_raised() {
  char why[HISCORE_WHY_SIZE];
  if (save_hiscore_if_raised(kept_hiscore(), why, sizeof why) != 0)
    fprintf(stderr, "zarn: %s", why);
}

// The library's pack loader, when memory runs out halfway, frees what it
// loaded twice and aborts (or hangs in its own abort handler): the room it
// needs is looked for first. The pack takes 1.2 MB once loaded. (Kept in a
// volatile, the request cannot be folded away with its free.)
bool room_for_the_pack() {
  void *volatile room = malloc(4 << 20);
  free(room);
  return room != nullptr;
}

void shut_down() {
  unload_datafile(pack);
  pack = nullptr;
  if (buffer != nullptr)
    destroy_bitmap(buffer);
  buffer = nullptr;
  platform_shut_down();
}

} // namespace

int game_main(int argc, char **argv) {
  char why[256] = "";
  if (platform_install_system(why, sizeof why) != 0) {
    // Without a system driver every further library call would crash, and
    // there is no message box to show: say so on the terminal.
    fprintf(stderr, "zarn: cannot start: %s\n", why);
    return 1;
  }
  if (platform_install_keyboard_and_timer(why, sizeof why) != 0) {
    char line[sizeof why + 32];
    snprintf(line, sizeof line, "cannot start: %s\n", why);
    tell(line);
    shut_down();
    return 1;
  }
  platform_seed_random();
  platform_install_tick(tick_handler, &tick_flag);

  sound_on = 1;
  if (platform_install_sound(argc > 0 ? argv[0] : nullptr) != 0)
    sound_on = 0;
  // A failed sound start leaves its reason in the library's error text, where
  // a failed pack load would report it as its own (Windows without a sound
  // device: "Failed to init digital sound driver").
  allegro_error[0] = '\0';

  set_color_depth(8);
  set_color_conversion(COLORCONV_NONE);
  packfile_password(ZARN_PACK_PASSWORD);
  if (!room_for_the_pack()) {
    tell("cannot start: too little memory to load zarn.dat\n");
    shut_down();
    return 1;
  }
  pack = load_pack("zarn.dat", why, sizeof why);
  if (pack == nullptr) {
    show_error("Error loading zarn.dat \n%s\n", why);
    return 1;
  }
  game_font = static_cast<FONT *>(pack[OBJ_FONT].dat);

  buffer = nullptr;
  int failed = choose_display_mode();
  if (platform_quit_requested()) {
    // Nothing has been read yet, so there is nothing to keep.
    shut_down();
    return platform_quit_exit_value();
  }
  if (failed == 0)
    buffer = create_bitmap(FRAME_W, FRAME_H);
  if (buffer == nullptr) {
    // Everything from here on draws on a 320x240 screen: without one, end
    // cleanly instead, leaving the high-score file alone.
    show_error("Error initialising graphicmode \n%s\n", allegro_error);
    shut_down();
    return 1;
  }
  bind_pack();
  set_palette(static_cast<RGB *>(pack[OBJ_PALETTE].dat));
  menu_cursor = 1;
  char unreadable[HISCORE_WHY_SIZE];
  hiscore = load_hiscore(unreadable, sizeof unreadable);
  if (unreadable[0] != '\0')
    fprintf(stderr, "zarn: %s\n", unreadable);
  platform_on_display_lost(save_if_raised);
  level = 0;

  title_menu();

  // The close button quits as QUIT does; a signal (a logout, a kill) keeps
  // only a raised best score and says what ended the program.
  int code = platform_quit_requested() ? platform_quit_exit_value() : 0;
  char lost[HISCORE_WHY_SIZE];
  int saved = code == 0 ? save_hiscore(hiscore, lost, sizeof lost)
                        : save_hiscore_if_raised(hiscore, lost, sizeof lost);
  if (saved != 0)
    tell(lost);
  shut_down();
  if (code != 0)
    fprintf(stderr, "zarn: ended by signal %d\n", code - 128);
  // Losing what the player won is no success, though the player asked for
  // the end.
  return code == 0 && saved != 0 ? 1 : code;
}
