// SPDX-License-Identifier: MIT
// The 8x8 text font, read from glyph grids.
#ifndef ZARN_PACKTOOL_FONT_H
#define ZARN_PACKTOOL_FONT_H

#include <cstdint>
#include <string>
#include <vector>

namespace pack {

// Reads `char CODE` headers each followed by 8 rows of 8 ('#' ink, '.' not)
// and returns the 2048-byte raw font (character c at byte 8*c, leftmost
// pixel in the top bit). Every character 32..126 must be there.
std::vector<uint8_t> load_font(const std::string &path);

} // namespace pack

#endif
