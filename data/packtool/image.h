// SPDX-License-Identifier: MIT
// Indexed pictures, the palette and the readers for the text sources.
#ifndef ZARN_PACKTOOL_IMAGE_H
#define ZARN_PACKTOOL_IMAGE_H

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace pack {

// Thrown for anything wrong in a source file; the message names file and line.
struct SourceError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Rgb {
  int r = 0, g = 0, b = 0; // 6-bit, as the library keeps them
};

class Palette {
public:
  static Palette load(const std::string &path);
  const Rgb &at(int index) const {
    return entries_[static_cast<size_t>(index)];
  }
  // The index of a named colour; throws when the name is unknown.
  uint8_t index(const std::string &name) const;
  bool has(const std::string &name) const { return names_.count(name) != 0; }

private:
  std::vector<Rgb> entries_ = std::vector<Rgb>(256);
  std::map<std::string, uint8_t> names_;
};

struct Image {
  int w = 0, h = 0;
  std::vector<uint8_t> px;

  Image() = default;
  Image(int width, int height, uint8_t fill = 0)
      : w(width), h(height), px(static_cast<size_t>(width * height), fill) {}
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
  uint8_t get(int x, int y) const { return px[static_cast<size_t>(y * w + x)]; }
  void set(int x, int y, uint8_t c) {
    if (inside(x, y))
      px[static_cast<size_t>(y * w + x)] = c;
  }
  void fill_rect(int x0, int y0, int x1, int y1, uint8_t c); // inclusive
  // Copies src with colour 0 left out, as the game's masked drawing does.
  void draw_masked(const Image &src, int x, int y);
  Image mirrored() const;
};

// Every picture of the art files, by name.
using Art = std::map<std::string, Image>;

// Reads one art file into `art`. Pictures are grids of characters under an
// `image NAME W H` line; `color C NAME` maps a character to a palette entry.
void load_art_file(const std::string &path, const Palette &pal, Art &art);

std::vector<uint8_t> encode_bmp(const Image &img, const Palette &pal);

} // namespace pack

#endif
