// SPDX-License-Identifier: MIT
// The two full-screen pictures, drawn in code around the art's sprites.
#ifndef ZARN_PACKTOOL_SCENES_H
#define ZARN_PACKTOOL_SCENES_H

#include "image.h"

namespace pack {

Image make_playfield(const Palette &pal);
Image make_title(const Art &art, const Palette &pal);

} // namespace pack

#endif
