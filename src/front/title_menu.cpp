// SPDX-License-Identifier: MIT
#include "core/draw_text.h"
#include "core/game_state.h"
#include "core/sfx.h"
#include "front/front.h"
#include "platform/platform.h"

namespace {

void click() { sfx_play(snd_click, 0); }

const char *const credit_lines[3] = {
    "A ZARN PRODUCTION",
    "MADE WITH C++ AND ALLEGRO",
    "(C) 2026 THE ZARN TEAM",
};

void draw_title_texts() {
  draw_text_centre(buffer, 160, 112, COL_TITLE, "'plenkadoo'");
  draw_text(buffer, 120, 128, COL_TEXT, "START GAME");
  draw_text(buffer, 120, 144, COL_TEXT, "STARTING LEVEL:");
  print_number2(level + 1, 240, 144);
  draw_text(buffer, 120, 160, COL_TEXT, "INSTRUCTIONS");
  draw_text(buffer, 120, 178, COL_TEXT, "QUIT");
  for (int i = 0; i < 3; i++)
    draw_text_centre(buffer, 160, 200 + 9 * i, COL_TITLE, "%s",
                     credit_lines[i]);
}

} // namespace

int menu_input() {
  // The latch is shared with the ape: a key acts once when it goes down.
  if (key[KEY_UP] != 0) {
    if (key_latch == 0) {
      menu_cursor--;
      if (menu_cursor <= 0)
        menu_cursor = 1;
      else
        click();
    }
    key_latch = 1;
    return 1;
  }
  if (key[KEY_DOWN] != 0) {
    if (key_latch == 0) {
      menu_cursor++;
      if (menu_cursor > 4)
        menu_cursor = 4;
      else
        click();
    }
    key_latch = 1;
    return 1;
  }
  if (key[KEY_ENTER] != 0 || key[KEY_SPACE] != 0) {
    if (key_latch == 0) {
      if (menu_cursor <= 3)
        click();
      menu_choice = menu_cursor;
    }
    key_latch = 1;
    return 1;
  }
  key_latch = 0;
  return 0;
}

void title_menu() {
  while (menu_choice <= 2) {
    platform_wait_pass(LOOP_MENU);
    if (platform_quit_requested())
      return; // as QUIT does
    blit(title_bmp, buffer, 0, 0, 0, 0, FRAME_W, FRAME_H);
    menu_input();
    blit(cursor_bmp, buffer, 0, 0, 108, 16 * menu_cursor + 111, cursor_bmp->w,
         cursor_bmp->h);
    draw_title_texts();
    if (menu_choice == 1) {
      run_game();
      menu_choice = 0;
    }
    if (menu_choice == 2) {
      level++;
      if (level > 15)
        level = 0;
      menu_choice = 0;
    }
    if (menu_choice == 3) {
      show_instructions();
      menu_choice = 0;
    }
    if (menu_choice == 4)
      return;
    platform_present(buffer);
  }
}
