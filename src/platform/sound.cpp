// SPDX-License-Identifier: MIT
// Sound through the library's own mixer and whichever driver it finds: the
// desktop's sound card, or the page's Web Audio (web/sound.cpp). Every
// sample plays at the one volume, pan and pitch the game has.
#include "platform/platform.h"

int platform_install_sound(const char *config_path) {
  return install_sound(DIGI_AUTODETECT, MIDI_NONE, config_path);
}

void platform_play_sample(SAMPLE *s, int loop) {
  play_sample(s, 200, 128, 1000, loop);
}

void platform_stop_sample(SAMPLE *s) { stop_sample(s); }
