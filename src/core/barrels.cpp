// SPDX-License-Identifier: MIT
#include "core/game_state.h"
#include "core/sfx.h"

#include <cstdlib>

int lane_in_use(int lane) {
  for (int i = 0; i < cur_params.barrel_slots; i++)
    if (barrels[i].state != BARREL_FREE && barrels[i].lane == lane)
      return -1;
  return lane;
}

void spawn_barrel() {
  int slot = -1;
  for (int i = 0; i < cur_params.barrel_slots; i++) {
    if (barrels[i].state == BARREL_FREE) {
      slot = i;
      break;
    }
  }
  if (slot < 0)
    return;
  BarrelSlot &b = barrels[slot];
  // Marked live before the lane is drawn, so on the early levels the slot's
  // own previous lane counts as taken too. frame, step_timer and sprite are
  // inherited from the slot's previous barrel.
  b.state = BARREL_ROLLING;
  int lane;
  if (level > 4) {
    lane = rand() % 8 + 0;
  } else {
    // At most seven slots on these levels, so one lane is always free.
    do {
      lane = lane_in_use(rand() % 8 + 0);
    } while (lane == -1);
  }
  b.x = lane_x[lane];
  b.y = lane_y[lane];
  b.dx = lane_dir[lane] * 10;
  b.wait_timer = cur_params.stop_wait;
  b.lane = lane;
}

namespace {

void next_roll_picture(BarrelSlot &b) {
  b.frame++;
  if (b.frame > 3)
    b.frame = 0;
  b.sprite = pack_bitmap(OBJ_BARREL_ROLL + b.frame);
}

// The tenth delivery: everything goes, and the celebration starts next tick.
void clear_level() {
  sfx_stop(snd_music);
  sfx_stop(snd_bonus_music);
  sfx_play(snd_clear, 0);
  clear_countdown = 200;
  cheer_timer = 0;
  for (int i = 0; i < cur_params.barrel_slots; i++)
    barrels[i].state = BARREL_FREE;
  carried = CARRIED_NONE;
  score += 100;
}

void lose_game() {
  game_over = 1;
  game_over_fresh = 1;
  bonus_type = BONUS_NONE;
  sfx_stop(snd_music);
  sfx_stop(snd_bonus_music);
  sfx_play(snd_gameover, 0);
}

} // namespace

void update_barrels() {
  spawn_timer--;
  if (spawn_timer < 0) {
    spawn_timer = rand() % 20 + cur_params.spawn_base;
    spawn_barrel();
  }

  for (int i = 0; i < cur_params.barrel_slots; i++) {
    BarrelSlot &b = barrels[i];
    if (b.state <= BARREL_FREE)
      continue;

    // Each test sees what the one before it left, so a barrel may pass
    // through several states in one tick.
    if (b.state == BARREL_ROLLING) {
      b.step_timer--;
      if (b.step_timer < 0) {
        b.step_timer = cur_params.roll_delay;
        next_roll_picture(b);
        b.x += b.dx;
        if ((b.dx > 0 && b.x == STOP_X_LEFT) ||
            (b.dx < 0 && b.x == STOP_X_RIGHT))
          b.state = BARREL_WAITING;
      }
    }

    if (b.state == BARREL_WAITING) {
      if (lane_rung[b.lane] == ape_rung && carried == CARRIED_NONE &&
          ((b.dx < 0 && ape_pose == OBJ_APE_REACH_RIGHT) ||
           (b.dx > 0 && ape_pose == OBJ_APE_REACH_LEFT))) {
        b.state = BARREL_CARRIED;
        sfx_play(snd_click, 0);
      }
      // Counted even for a barrel just grabbed: grabbed on the tick its wait
      // runs out, it still falls.
      b.wait_timer--;
      if (b.wait_timer < 0)
        b.state = BARREL_FALLING;
    }

    if (b.state == BARREL_CARRIED) {
      b.x = ape_x + HELD_DX;
      b.y = ape_y + HELD_DY;
      b.frame = 4;
      b.sprite = pack_bitmap(OBJ_BARREL_HELD);
      carried = i + 1;
    }

    if (b.state == BARREL_TRAVELLING) {
      b.step_timer--;
      if (b.step_timer < 0) {
        b.step_timer = cur_params.deliver_delay;
        next_roll_picture(b);
        b.x -= 8;
        if (b.x <= DELIVERED_X) {
          delivered++;
          if (delivered > 9) {
            clear_level();
            return;
          }
          b.state = BARREL_FREE;
        }
      }
    }

    if (b.state == BARREL_FALLING) {
      b.y += 2;
      if (b.y > 210) {
        b.state = BARREL_FREE;
        misses++;
        if (misses > 13) {
          lose_game();
          return;
        }
        sfx_play(snd_lost, 0);
      }
    }

    if (b.state != BARREL_FREE && b.sprite != nullptr)
      masked_blit(b.sprite, buffer, 0, 0, b.x, b.y, b.sprite->w, b.sprite->h);
  }
}
