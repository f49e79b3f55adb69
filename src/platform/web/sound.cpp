// SPDX-License-Identifier: MIT
// The page's sound driver for the library: the library's own mixer, as the
// desktop's sound card drivers use it, mixing the samples in the program at
// the page's rate, and the page playing the result through Web Audio. So the
// samples sound at the same pitch, volume and loop points as on the desktop.
// The page plays only after a key or a click; until then nothing is mixed.
#include "platform/web/web.h"

#include <allegro/internal/aintern.h>
#include <emscripten.h>

#include <cstdint>

namespace {

EM_JS(int, page_offer_sound, (int rate), { return Page.offerSound(rate); });
EM_JS(int, page_sound_wanted, (), { return Page.soundWanted(); });
EM_JS(void, page_sound_block, (const int16_t *samples, int frames),
      { Page.soundBlock(samples, frames); });

const int rate = 44100;
// 11.6 ms of stereo sound: the mixer's block.
const int block_frames = 512;
// What a pass hands the page at most: 16 blocks, 186 ms, more than the
// page's queue is kept ahead (audio.js's lead), so one hand-over a pass.
// Each hand-over is a buffer and a player made in the page, which costs it
// more than the sound they carry.
const int most_blocks = 16;
int16_t blocks[2 * block_frames * most_blocks];
// What it hands over at least: every other pass, 23 ms or more.
const int least_blocks = 2;
bool mixing;

// Silence, most of the title's and the pages' sound, is handed on as a
// count of frames: no samples to convert, copy or play.
bool silent(int frames) {
  for (int i = 0; i < 2 * frames; i++)
    if (blocks[i] != 0)
      return false;
  return true;
}

int page_detect(int input) { return !input; }

void page_exit(int) {
  mixing = false;
  _mixer_exit();
}

DIGI_DRIVER page_driver;

int page_init(int input, int voices) {
  if (input)
    return -1;
  page_driver.voices = voices;
  if (_mixer_init(2 * block_frames, rate, TRUE, TRUE, &page_driver.voices) != 0)
    return -1;
  mixing = true;
  return 0;
}

_DRIVER_INFO page_drivers[] = {{AL_ID('P', 'A', 'G', 'E'), &page_driver, TRUE},
                               {0, nullptr, 0}};

_DRIVER_INFO *list_page_drivers() { return page_drivers; }

} // namespace

void offer_page_sound() {
  if (!page_offer_sound(rate))
    return; // no Web Audio: the library finds no driver and stays silent
  DIGI_DRIVER &d = page_driver;
  d.id = page_drivers[0].id;
  d.name = d.desc = empty_string;
  d.ascii_name = "Web Audio";
  d.max_voices = MIXER_MAX_SFX;
  d.def_voices = MIXER_DEF_SFX;
  d.detect = page_detect;
  d.init = page_init;
  d.exit = page_exit;
  d.init_voice = _mixer_init_voice;
  d.release_voice = _mixer_release_voice;
  d.start_voice = _mixer_start_voice;
  d.stop_voice = _mixer_stop_voice;
  d.loop_voice = _mixer_loop_voice;
  d.get_position = _mixer_get_position;
  d.set_position = _mixer_set_position;
  d.get_volume = _mixer_get_volume;
  d.set_volume = _mixer_set_volume;
  d.ramp_volume = _mixer_ramp_volume;
  d.stop_volume_ramp = _mixer_stop_volume_ramp;
  d.get_frequency = _mixer_get_frequency;
  d.set_frequency = _mixer_set_frequency;
  d.sweep_frequency = _mixer_sweep_frequency;
  d.stop_frequency_sweep = _mixer_stop_frequency_sweep;
  d.get_pan = _mixer_get_pan;
  d.set_pan = _mixer_set_pan;
  d.sweep_pan = _mixer_sweep_pan;
  d.stop_pan_sweep = _mixer_stop_pan_sweep;
  d.set_echo = _mixer_set_echo;
  d.set_tremolo = _mixer_set_tremolo;
  d.set_vibrato = _mixer_set_vibrato;
  // The library's system without a platform knows no sound drivers; the
  // page's is the one it is to find.
  system_none.digi_drivers = list_page_drivers;
}

void mix_ahead() {
  if (!mixing)
    return;
  int want = page_sound_wanted();
  if (want < least_blocks * block_frames)
    return; // the queue is still 57 ms ahead: a later pass hands more at once
  while (want > 0) {
    int n = 0;
    for (; n < most_blocks && want > 0; n++, want -= block_frames)
      _mix_some_samples(
          reinterpret_cast<uintptr_t>(blocks + 2 * block_frames * n), 0, TRUE);
    int frames = n * block_frames;
    page_sound_block(silent(frames) ? nullptr : blocks, frames);
  }
}
