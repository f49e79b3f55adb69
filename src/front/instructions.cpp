// SPDX-License-Identifier: MIT
#include "core/draw_text.h"
#include "core/game_state.h"
#include "core/sfx.h"
#include "front/front.h"
#include "platform/platform.h"

namespace {

struct PictureSlot {
  BITMAP *bmp;
  int x, y;
  bool placed; // slot 1 has no position until the first page is set up
};

struct Pages {
  int count;
  int timer;
  PictureSlot slot[3];
  const char *caption;
};

// Each set-up changes only the slots its page names; the others keep what
// the page before left in them. A slot at x FRAME_W or y FRAME_H, just past the
// picture, is clipped away.
void set_up_page(Pages &p) {
  switch (p.count) {
  case 0:
    p.caption = "YOU ARE ZARN";
    p.slot[0] = {pack_bitmap(OBJ_APE_STAND), ape_x, 100, true};
    break;
  case 1:
    p.caption = "COLLECT BARRELS";
    p.slot[0] = {pack_bitmap(OBJ_APE_REACH_RIGHT), ape_x, 100, true};
    p.slot[1] = {pack_bitmap(OBJ_BARREL_ROLL), ape_x + 54, 122, true};
    break;
  case 2:
    p.caption = "GIVE TO LADY";
    p.slot[0] = {pack_bitmap(OBJ_LADY), 152, 110, true};
    p.slot[1].x = FRAME_W;
    break;
  default:
    // The game's texts are kept exactly as written, this spelling included.
    p.caption = "RECIEVE LOVE";
    p.slot[0] = {pack_bitmap(OBJ_LADY), 124, 110, true};
    p.slot[1] = {pack_bitmap(OBJ_HEART), 152, 100, true};
    p.slot[2] = {pack_bitmap(OBJ_APE_REACH_LEFT), 176, 100, true};
    break;
  }
  p.timer = 180;
  p.count++;
  ape_pose = OBJ_APE_STAND;
}

} // namespace

void show_instructions() {
  sfx_play(snd_instr_music, 0);
  // The key that chose this item must not end the pages at once.
  clear_keybuf();
  Pages p = {0,
             0,
             {{pack_bitmap(OBJ_APE_STAND), 0, 0, false},
              {pack_bitmap(OBJ_BARREL_ROLL), FRAME_W, FRAME_H, true},
              {pack_bitmap(OBJ_APE_REACH_LEFT), FRAME_W, FRAME_H, true}},
             nullptr};
  for (;;) {
    platform_wait_pass(LOOP_INSTRUCTIONS);
    if (keypressed() || platform_quit_requested()) {
      sfx_stop(snd_instr_music);
      return;
    }
    clear_to_color(buffer, 0);
    draw_text_centre(buffer, 160, 32, COL_TITLE, "INSTRUCTIONS (%d/4)",
                     p.count);
    if (tick_flag.load() == 1) {
      p.timer--;
      if (p.timer < 0) {
        // After the fourth page: no screen copy, and the music, started
        // without a loop, plays out to its own end.
        if (p.count == 4)
          return;
        set_up_page(p);
      }
      tick_flag.store(0);
    }
    for (const PictureSlot &s : p.slot)
      if (s.placed)
        blit(s.bmp, buffer, 0, 0, s.x, s.y, s.bmp->w, s.bmp->h);
    if (p.caption != nullptr)
      draw_text_centre(buffer, 160, 150, COL_TEXT, "%s", p.caption);
    platform_present(buffer);
  }
}
