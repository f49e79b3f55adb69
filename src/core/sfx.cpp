// SPDX-License-Identifier: MIT
#include "core/sfx.h"

#include "core/game_state.h"
#include "platform/platform.h"

void sfx_play(SAMPLE *s, int loop) {
  if (sound_on == 1)
    platform_play_sample(s, loop);
}

void sfx_stop(SAMPLE *s) {
  if (sound_on == 1)
    platform_stop_sample(s);
}
