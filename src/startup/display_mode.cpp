// SPDX-License-Identifier: MIT
#include "startup/display_mode.h"

#include "core/draw_text.h"
#include "core/game_state.h"
#include "platform/platform.h"

namespace {

int set_window_mode() {
  if (platform_set_gfx_mode(GFX_ROLE_WINDOW) == 0)
    return 0;
  return platform_set_gfx_mode(GFX_ROLE_WINDOW_FALLBACK);
}

void fill_mode_palette() {
  for (int i = 0; i < PAL_SIZE; i++)
    mode_palette[i] = {0, 0, 0, 0};
  mode_palette[1] = {63, 63, 63, 0};
  // The strongest blue a 6-bit component can hold.
  mode_palette[2] = {0, 44, 63, 0};
}

} // namespace

int choose_display_mode() {
  if (set_window_mode() != 0)
    return platform_set_gfx_mode(GFX_ROLE_AUTODETECT);

  fill_mode_palette();
  set_palette(mode_palette);
  // Drawn at the game's own size; the platform shows it as it shows frames.
  BITMAP *prompt = create_bitmap(FRAME_W, FRAME_H);
  if (prompt == nullptr)
    return -1;
  clear_to_color(prompt, 0);
  draw_text_centre(prompt, 160, 96, 2, "Choose Mode");
  draw_text(prompt, PROMPT_ANSWERS_X, PROMPT_ANSWERS_Y, 1, "1 - Fullscreen");
  draw_text(prompt, PROMPT_ANSWERS_X, PROMPT_ANSWERS_Y + PROMPT_LINE_H, 1,
            "2 - Window");
  platform_present(prompt);

  int choice = 0;
  int failed = 0;
  while (choice == 0 && !platform_quit_requested()) {
    platform_wait_pass(LOOP_PROMPT);
    if (key[KEY_1] != 0) {
      choice = 1;
      if (platform_set_gfx_mode(GFX_ROLE_FULLSCREEN) != 0 &&
          platform_set_gfx_mode(GFX_ROLE_AUTODETECT) != 0) {
        // Both attempts have closed the window: take it back rather than
        // carry on without a screen.
        failed = set_window_mode();
      }
    }
    if (key[KEY_2] != 0)
      choice = 2;
  }
  destroy_bitmap(prompt);
  return failed;
}
