// SPDX-License-Identifier: MIT
#include "image.h"

#include <fstream>
#include <sstream>

namespace pack {

namespace {

std::string where(const std::string &path, int line) {
  return path + ":" + std::to_string(line) + ": ";
}

std::vector<std::string> read_lines(const std::string &path) {
  std::ifstream in(path);
  if (!in)
    throw SourceError(path + ": cannot open");
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool blank_or_comment(const std::string &line) {
  size_t i = line.find_first_not_of(" \t");
  return i == std::string::npos || line[i] == '#';
}

void put_le(std::vector<uint8_t> &out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; i++)
    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

Palette Palette::load(const std::string &path) {
  Palette pal;
  std::vector<bool> seen(256, false);
  std::vector<std::string> lines = read_lines(path);
  for (size_t n = 0; n < lines.size(); n++) {
    if (blank_or_comment(lines[n]))
      continue;
    std::istringstream in(lines[n]);
    int index = -1;
    Rgb c;
    std::string name;
    if (!(in >> index >> c.r >> c.g >> c.b >> name))
      throw SourceError(where(path, static_cast<int>(n + 1)) +
                        "expected: INDEX R G B NAME");
    const int line = static_cast<int>(n + 1);
    if (index < 0 || index > 255 || seen[static_cast<size_t>(index)])
      throw SourceError(where(path, line) + "bad or repeated index");
    for (int v : {c.r, c.g, c.b})
      if (v < 0 || v > 63)
        throw SourceError(where(path, line) + "components run 0..63");
    if (pal.names_.count(name))
      throw SourceError(where(path, line) + "repeated name " + name);
    seen[static_cast<size_t>(index)] = true;
    pal.entries_[static_cast<size_t>(index)] = c;
    pal.names_[name] = static_cast<uint8_t>(index);
  }
  if (!seen[0] ||
      pal.entries_[0].r + pal.entries_[0].g + pal.entries_[0].b != 0)
    throw SourceError(path + ": entry 0 must be listed and black");
  return pal;
}

uint8_t Palette::index(const std::string &name) const {
  auto it = names_.find(name);
  if (it == names_.end())
    throw SourceError("no palette colour named " + name);
  return it->second;
}

void Image::fill_rect(int x0, int y0, int x1, int y1, uint8_t c) {
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++)
      set(x, y, c);
}

void Image::draw_masked(const Image &src, int x, int y) {
  for (int sy = 0; sy < src.h; sy++)
    for (int sx = 0; sx < src.w; sx++)
      if (uint8_t c = src.get(sx, sy))
        set(x + sx, y + sy, c);
}

Image Image::mirrored() const {
  Image m(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      m.set(w - 1 - x, y, get(x, y));
  return m;
}

void load_art_file(const std::string &path, const Palette &pal, Art &art) {
  std::vector<std::string> lines = read_lines(path);
  std::map<char, uint8_t> legend;
  legend['.'] = 0;
  auto add = [&](const std::string &name, Image img, int line) {
    if (art.count(name))
      throw SourceError(where(path, line) + "picture " + name +
                        " defined twice");
    art[name] = std::move(img);
  };
  auto source = [&](const std::string &name, int line) -> const Image & {
    auto it = art.find(name);
    if (it == art.end())
      throw SourceError(where(path, line) + "no picture " + name + " above");
    return it->second;
  };
  for (size_t n = 0; n < lines.size(); n++) {
    const int line = static_cast<int>(n + 1);
    if (blank_or_comment(lines[n]))
      continue;
    std::istringstream in(lines[n]);
    std::string word;
    in >> word;
    try {
      if (word == "color") {
        std::string ch, name;
        if (!(in >> ch >> name) || ch.size() != 1)
          throw SourceError("expected: color CHAR NAME");
        legend[ch[0]] = pal.index(name);
      } else if (word == "image") {
        std::string name;
        int w = 0, h = 0;
        if (!(in >> name >> w >> h) || w <= 0 || h <= 0 || w > 320 || h > 240)
          throw SourceError("expected: image NAME WIDTH HEIGHT");
        if (n + static_cast<size_t>(h) >= lines.size())
          throw SourceError("picture runs past the end of the file");
        Image img(w, h);
        for (int y = 0; y < h; y++) {
          const std::string &row = lines[n + 1 + static_cast<size_t>(y)];
          if (static_cast<int>(row.size()) != w)
            throw SourceError("row " + std::to_string(y) + " of " + name +
                              " (line " + std::to_string(line + 1 + y) +
                              ") has " + std::to_string(row.size()) +
                              " characters, not " + std::to_string(w));
          for (int x = 0; x < w; x++) {
            auto it = legend.find(row[static_cast<size_t>(x)]);
            if (it == legend.end())
              throw SourceError("line " + std::to_string(line + 1 + y) +
                                ": character '" +
                                row.substr(static_cast<size_t>(x), 1) +
                                "' has no color line");
            img.set(x, y, it->second);
          }
        }
        add(name, std::move(img), line);
        n += static_cast<size_t>(h);
      } else if (word == "mirror") {
        std::string name, from;
        if (!(in >> name >> from))
          throw SourceError("expected: mirror NAME SOURCE");
        add(name, source(from, line).mirrored(), line);
      } else if (word == "recolor") {
        // recolor NAME SOURCE old=new ... : the same drawing in other colours.
        std::string name, from, pair;
        if (!(in >> name >> from))
          throw SourceError("expected: recolor NAME SOURCE OLD=NEW...");
        Image img = source(from, line);
        std::map<uint8_t, uint8_t> swap;
        while (in >> pair) {
          size_t eq = pair.find('=');
          if (eq == std::string::npos)
            throw SourceError("expected OLD=NEW, got " + pair);
          swap[pal.index(pair.substr(0, eq))] = pal.index(pair.substr(eq + 1));
        }
        for (uint8_t &p : img.px) {
          auto it = swap.find(p);
          if (it != swap.end())
            p = it->second;
        }
        add(name, std::move(img), line);
      } else {
        throw SourceError("unknown word " + word);
      }
    } catch (const SourceError &e) {
      std::string msg = e.what();
      if (msg.rfind(path, 0) == 0)
        throw;
      throw SourceError(where(path, line) + msg);
    }
  }
}

std::vector<uint8_t> encode_bmp(const Image &img, const Palette &pal) {
  const uint32_t stride = static_cast<uint32_t>((img.w + 3) & ~3);
  const uint32_t data_offset = 14 + 40 + 256 * 4;
  const uint32_t data_size = stride * static_cast<uint32_t>(img.h);
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  put_le(out, data_offset + data_size, 4);
  put_le(out, 0, 4);
  put_le(out, data_offset, 4);
  put_le(out, 40, 4);
  put_le(out, static_cast<uint32_t>(img.w), 4);
  put_le(out, static_cast<uint32_t>(img.h), 4);
  put_le(out, 1, 2);
  put_le(out, 8, 2);
  put_le(out, 0, 4); // no compression
  put_le(out, data_size, 4);
  put_le(out, 2835, 4);
  put_le(out, 2835, 4);
  put_le(out, 256, 4);
  put_le(out, 0, 4);
  // 6-bit to 8-bit the way the library shows them, so previews match the game;
  // its reader divides by four and gets the 6-bit value back.
  auto wide = [](int c) { return static_cast<uint8_t>((c << 2) | (c >> 4)); };
  for (int i = 0; i < 256; i++) {
    const Rgb &c = pal.at(i);
    out.push_back(wide(c.b));
    out.push_back(wide(c.g));
    out.push_back(wide(c.r));
    out.push_back(0);
  }
  for (int y = img.h - 1; y >= 0; y--) {
    for (int x = 0; x < img.w; x++)
      out.push_back(img.get(x, y));
    for (uint32_t x = static_cast<uint32_t>(img.w); x < stride; x++)
      out.push_back(0);
  }
  return out;
}

} // namespace pack
