// SPDX-License-Identifier: MIT
// What the game's screens and sounds rely on in the pack's contents, beyond
// the catalogue's types and sizes: checked while the pack is made, so a
// picture or a sound that would look or sound wrong stops the build.
#ifndef ZARN_PACKTOOL_CHECKS_H
#define ZARN_PACKTOOL_CHECKS_H

#include "image.h"
#include "sound.h"

namespace pack {

// Throws SourceError naming the object and what is wrong with it.
void check_pictures(const Art &art, const Palette &pal);
void check_sounds(const std::vector<Sound> &sounds);

} // namespace pack

#endif
