// SPDX-License-Identifier: MIT
#include "core/game_state.h"
#include "core/sfx.h"
#include "platform/platform.h"

void tick_handler() { tick_flag.store(1); }

namespace {

void start_game() {
  sfx_play(snd_start, 0);
  score = 0;
  top_score = hiscore;
  misses = 0;
  clear_countdown = 0;
  delivered = 0;
  // The count still in force from before this game: every slot that can be
  // live now lies below it, and the new row is applied only further down.
  for (int i = 0; i < cur_params.barrel_slots; i++)
    barrels[i].state = BARREL_FREE;
  carried = CARRIED_NONE;
  ape_y = rung_y[0];
  ape_rung = 1;
  flames[0].x = 121;
  flames[1].x = 184;
  run_ticks = 0;
  apply_level_params();
  run_active = 1;
  game_over = 0;
  game_over_fresh = 0;
}

} // namespace

void run_tick() {
  run_ticks++;
  blit(playfield_bmp, buffer, 0, 0, 0, 0, FRAME_W, FRAME_H);
  if (run_ticks == 275)
    sfx_play(snd_music, 1);
  // The phase is decided once, before the first step: a step that ends the
  // level or the game changes the phase from the next tick on.
  if (game_over != 0) {
    draw_delivered();
    update_flames();
    draw_misses();
    update_ape();
  } else if (clear_countdown != 0) {
    update_level_clear();
    update_flames();
    draw_delivered();
    draw_misses();
  } else {
    update_ape();
    draw_delivered();
    draw_misses();
    update_barrels();
    update_flames();
    update_bonus();
  }
  draw_status();
}

int kept_hiscore() {
  return score > hiscore && game_over == 1 ? top_score : hiscore;
}

namespace {

void end_game() {
  hiscore = kept_hiscore();
  sfx_stop(snd_music);
  sfx_stop(snd_bonus_music);
  sfx_stop(snd_start);
  sfx_stop(snd_gameover);
  clear_keybuf();
}

} // namespace

void run_game() {
  start_game();
  while (run_active == 1) {
    platform_wait_pass(LOOP_GAME);
    if (key[KEY_ESC] != 0 || platform_quit_requested())
      run_active = 0;
    if (tick_flag.load() == 1) {
      // Cleared before the work, so a tick arriving meanwhile stays pending.
      tick_flag.store(0);
      run_tick();
    }
    platform_present(buffer);
  }
  end_game();
}
