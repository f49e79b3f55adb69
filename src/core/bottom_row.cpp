// SPDX-License-Identifier: MIT
#include "core/game_state.h"
#include "core/sfx.h"

#include <cstdlib>

namespace {

void roll_bonus() {
  bonus_roll_timer = rand() % 500 + 1400;
  score_at_roll = score;
  int v = rand() % 100 + 0;
  // Below level index 5 the rare kind's share of the roll brings nothing,
  // but the roll still counts.
  if (v <= 79) {
    bonus_type = BONUS_KIND_1;
    bonus_time_left = 300;
  } else if (level > 4) {
    bonus_type = BONUS_KIND_2;
    bonus_time_left = 250;
  } else {
    return;
  }
  sfx_stop(snd_music);
  sfx_play(snd_bonus_music, 1);
}

void collect_bonus() {
  sfx_play(snd_bonus_get, 0);
  score += 100 * bonus_type;
  if (bonus_type == BONUS_KIND_1) {
    misses--;
    if (misses < 0)
      misses = 0;
  } else {
    misses = 0;
  }
  sfx_stop(snd_bonus_music);
  sfx_play(snd_music, 1);
  bonus_type = BONUS_NONE;
}

} // namespace

void update_bonus() {
  // The roll clock runs only once the player has scored since the last roll.
  if (bonus_type == BONUS_NONE && score != score_at_roll && delivered <= 9) {
    bonus_roll_timer--;
    if (bonus_roll_timer < 0)
      roll_bonus();
  }
  if (bonus_type != BONUS_NONE) {
    bonus_sprite = pack_bitmap(OBJ_BONUS_1 - BONUS_KIND_1 + bonus_type);
    masked_blit(bonus_sprite, buffer, 0, 0, 152, 217, bonus_sprite->w,
                bonus_sprite->h);
    if (ape_y > 184) {
      collect_bonus();
    } else {
      bonus_time_left--;
      if (bonus_time_left < 0) {
        bonus_type = BONUS_NONE;
        sfx_stop(snd_bonus_music);
        sfx_play(snd_music, 1);
      }
    }
  }
}

void draw_misses() {
  miss_anim_timer--;
  if (miss_anim_timer < 0) {
    miss_anim_timer = 6;
    miss_frame = (miss_frame == 0) ? 1 : 0;
  }
  miss_sprite = pack_bitmap(OBJ_MISS_ICON + miss_frame);
  const PackObject &cut = pack_catalogue[OBJ_MISS_ICON];
  for (int i = 0; i < misses; i++) {
    int x = 16 * i + (i > 6 ? MISS_RIGHT_X - 7 * 16 : 0);
    blit(miss_sprite, buffer, 0, 0, x, MISS_Y, cut.w, cut.h);
  }
}

void update_flames() {
  for (FlameFigure &f : flames) {
    f.timer--;
    if (f.timer < 0) {
      f.timer = rand() % 25 + 5;
      f.frame = (f.frame == 0) ? 1 : 0;
    }
    flame_sprite = pack_bitmap(OBJ_FIGURE + f.frame);
    masked_blit(flame_sprite, buffer, 0, 0, f.x, FIGURE_Y,
                pack_catalogue[OBJ_FIGURE].w, pack_catalogue[OBJ_FIGURE].h);
  }
}
