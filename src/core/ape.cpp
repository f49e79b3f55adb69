// SPDX-License-Identifier: MIT
#include "core/draw_text.h"
#include "core/game_state.h"
#include "core/sfx.h"

int ape_input() {
  ape_pose = OBJ_APE_STAND;
  // The latch is only ever cleared here: a key still held from the menu is
  // ignored until all four arrows have been up once.
  if (key[KEY_UP] != 0) {
    if (key_latch == 0) {
      ape_rung--;
      if (ape_rung <= 0)
        ape_rung = 1;
    }
    return 1;
  }
  if (key[KEY_DOWN] != 0) {
    if (key_latch == 0) {
      ape_rung++;
      if (ape_rung > 7)
        ape_rung = 7;
    }
    return 1;
  }
  if (key[KEY_LEFT] != 0) {
    if (key_latch == 0)
      ape_pose = OBJ_APE_REACH_LEFT;
    return 1;
  }
  if (key[KEY_RIGHT] != 0) {
    if (key_latch == 0)
      ape_pose = OBJ_APE_REACH_RIGHT;
    return 1;
  }
  key_latch = 0;
  return 0;
}

void walk_anim() {
  if (pose_timer != 0) {
    pose_timer--;
    return;
  }
  pose_timer = 5;
  if (game_over == 1)
    ape_pose = (ape_pose == OBJ_APE_LYING) ? OBJ_APE_LYING_2 : OBJ_APE_LYING;
  else
    ape_pose = (ape_pose == OBJ_APE_CLIMB) ? OBJ_APE_CLIMB_2 : OBJ_APE_CLIMB;
}

namespace {

void hand_over() {
  sfx_play(snd_handover, 0);
  score += 10;
  handover_slot = carried - 1;
  carried = CARRIED_NONE;
  BarrelSlot &b = barrels[handover_slot];
  // step_timer is left alone: the first travel step comes after the roll
  // delay the barrel still holds.
  b.x = HANDOVER_X;
  b.y = HANDOVER_Y;
  b.state = BARREL_TRAVELLING;
  b.frame = 0;
  b.sprite = pack_bitmap(OBJ_BARREL_ROLL + b.frame);
}

void play_step() {
  if (ape_y == rung_y[ape_rung])
    ape_input();
  if (rung_y[ape_rung] > ape_y) {
    ape_y += 2;
    walk_anim();
  }
  if (rung_y[ape_rung] < ape_y) {
    ape_y -= 2;
    walk_anim();
  }
  if (ape_rung == 2 && carried != CARRIED_NONE &&
      ape_pose == OBJ_APE_REACH_LEFT)
    hand_over();
}

void game_over_step() {
  // Without a fall nothing would drop the presses made during play, and one
  // of them would dismiss the box before it was ever seen.
  if (game_over_fresh != 0) {
    game_over_fresh = 0;
    if (ape_y >= 200)
      clear_keybuf();
  }
  if (ape_y <= 199) {
    ape_pose = OBJ_APE_FALLING;
    ape_y++;
    clear_keybuf();
  } else {
    walk_anim();
    rectfill(buffer, 124, 97, 196, 111, 0);
    draw_text_centre(buffer, 160, 100, COL_TEXT, "GAME OVER");
    if (keypressed())
      run_active = 0;
  }
}

} // namespace

void update_ape() {
  if (game_over == 0)
    play_step();
  else
    game_over_step();
  ape_sprite = pack_bitmap(ape_pose);
  masked_blit(ape_sprite, buffer, 0, 0, ape_x, ape_y, ape_sprite->w,
              ape_sprite->h);
}
