// SPDX-License-Identifier: MIT
#include "core/game_state.h"
#include "core/sfx.h"

void apply_level_params() {
  // The rest of the previous roll delay carries over.
  bonus_roll_timer += 300;
  bonus_type = BONUS_NONE;
  cur_params = level_table[level];
}

void draw_delivered() {
  BITMAP *icon = pack_bitmap(OBJ_STACK_BARREL);
  const PackObject &cut = pack_catalogue[OBJ_STACK_BARREL],
                   &lady = pack_catalogue[OBJ_LADY];
  for (int n = 0; n < delivered; n++) {
    int x = 10 * (n % 5);
    int y = (n < 5) ? 56 : 40;
    masked_blit(icon, buffer, 0, 0, x, y, cut.w, cut.h);
  }
  blit(lady_sprite, buffer, 0, 0, LADY_X, LADY_Y, lady.w, lady.h);
}

void cheer_anim() {
  cheer_timer--;
  if (cheer_timer < 0) {
    cheer_timer = 10;
    ape_pose = (ape_pose == OBJ_APE_CLIMB) ? OBJ_APE_CLIMB_2 : OBJ_APE_CLIMB;
  }
}

void update_level_clear() {
  cheer_anim();
  ape_sprite = pack_bitmap(ape_pose);
  masked_blit(ape_sprite, buffer, 0, 0, ape_x, ape_y, ape_sprite->w,
              ape_sprite->h);
  // The lady waves in step with the ape's cheering.
  lady_sprite = pack_bitmap(OBJ_LADY + (ape_pose - OBJ_APE_CLIMB));
  blit(heart_bmp, buffer, 0, 0, HEART_X, HEART_Y, heart_bmp->w, heart_bmp->h);
  // Counted down after the drawing: the level advances on the 200th step.
  clear_countdown--;
  if (clear_countdown != 0)
    return;
  delivered = 0;
  level++;
  if (level > 15)
    level = 0;
  apply_level_params();
  sfx_play(snd_music, 1);
}
