// SPDX-License-Identifier: MIT
// The application icons, drawn from the standing ape, written as PNG files
// here so that building the game needs no image tools.
#ifndef ZARN_PACKTOOL_ICONS_H
#define ZARN_PACKTOOL_ICONS_H

#include "image.h"

#include <string>
#include <vector>

namespace pack {

// Writes DIR/NxN/apps/NAME.png for every size N given.
void write_icons(const Image &ape, const Palette &pal, const std::string &dir,
                 const std::string &name, const std::vector<int> &sizes);

} // namespace pack

#endif
