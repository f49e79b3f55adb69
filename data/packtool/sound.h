// SPDX-License-Identifier: MIT
// The game's sounds, synthesised from the tunes and recipes in sound.cpp.
#ifndef ZARN_PACKTOOL_SOUND_H
#define ZARN_PACKTOOL_SOUND_H

#include <cstdint>
#include <string>
#include <vector>

namespace pack {

constexpr int kRate = 22050;

struct Sound {
  std::string name;        // file name without extension, e.g. "21_bonus_music"
  std::vector<double> pcm; // -1..1
};

std::vector<Sound> make_sounds();

// 8-bit unsigned mono PCM WAV; the library plays it as is.
std::vector<uint8_t> encode_wav(const std::vector<double> &pcm);

} // namespace pack

#endif
