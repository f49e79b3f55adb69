// SPDX-License-Identifier: MIT
#include "icons.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace pack {

namespace {

using Rgba = std::array<uint8_t, 4>;

struct Picture {
  int w, h;
  std::vector<Rgba> px;
  Rgba &at(int x, int y) { return px[static_cast<size_t>(y * w + x)]; }
};

void put_be(std::vector<uint8_t> &out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t crc32(const uint8_t *p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; i++) {
    c ^= p[i];
    for (int k = 0; k < 8; k++)
      c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

void chunk(std::vector<uint8_t> &png, const char *type,
           const std::vector<uint8_t> &data) {
  put_be(png, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  put_be(png, crc32(body.data(), body.size()));
}

// A PNG of 8-bit RGBA, its pixels in stored (uncompressed) deflate blocks:
// an icon is small, and this needs no compressor.
std::vector<uint8_t> encode_png(const Picture &pic) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < pic.h; y++) {
    raw.push_back(0); // no filter
    for (int x = 0; x < pic.w; x++) {
      const Rgba &p = pic.px[static_cast<size_t>(y * pic.w + x)];
      raw.insert(raw.end(), p.begin(), p.end());
    }
  }
  std::vector<uint8_t> z = {0x78, 0x01};
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + n == raw.size() ? 1 : 0);
    for (uint32_t v : {static_cast<uint32_t>(n), static_cast<uint32_t>(~n)}) {
      z.push_back(static_cast<uint8_t>(v));
      z.push_back(static_cast<uint8_t>(v >> 8));
    }
    z.insert(z.end(), raw.begin() + static_cast<long>(at),
             raw.begin() + static_cast<long>(at + n));
  }
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  put_be(z, b << 16 | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> head;
  put_be(head, static_cast<uint32_t>(pic.w));
  put_be(head, static_cast<uint32_t>(pic.h));
  head.insert(head.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA
  chunk(png, "IHDR", head);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", {});
  return png;
}

// The picture with colour 0 transparent and its empty margin cut away.
Picture cut_out(const Image &img, const Palette &pal) {
  int x0 = img.w, y0 = img.h, x1 = -1, y1 = -1;
  for (int y = 0; y < img.h; y++)
    for (int x = 0; x < img.w; x++)
      if (img.get(x, y) != 0) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  if (x1 < 0)
    throw SourceError("the icon's picture is empty");
  // 6-bit to 8-bit as the game's pictures show them (see encode_bmp).
  auto wide = [](int c) { return static_cast<uint8_t>((c << 2) | (c >> 4)); };
  Picture out{x1 - x0 + 1, y1 - y0 + 1, {}};
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      const uint8_t i = img.get(x, y);
      const Rgb &c = pal.at(i);
      out.px.push_back(
          {wide(c.r), wide(c.g), wide(c.b), static_cast<uint8_t>(i ? 255 : 0)});
    }
  return out;
}

// Sizes the picture fits into get it enlarged by whole or half steps with
// hard pixel edges, as it looks in the game; smaller ones get it averaged
// down, which keeps its shape readable where dropping pixels would not.
Picture icon(Picture &ape, int size) {
  const int side = std::max(ape.w, ape.h);
  const double step =
      size < side ? static_cast<double>(size) / side : (2 * size / side) / 2.0;
  const int w = static_cast<int>(ape.w * step + 0.5);
  const int h = static_cast<int>(ape.h * step + 0.5);
  Picture out{size, size, std::vector<Rgba>(static_cast<size_t>(size * size))};
  const int left = (size - w) / 2, top = (size - h) / 2;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      if (step >= 1) {
        out.at(left + x, top + y) = ape.at(static_cast<int>((x + 0.5) / step),
                                           static_cast<int>((y + 0.5) / step));
        continue;
      }
      // The mean of the source pixels whose centres lie under this one,
      // colours weighted by opacity so that transparency does not darken
      // the edge.
      double sum[4] = {0, 0, 0, 0}, area = 0;
      for (int sy = 0; sy < ape.h; sy++)
        for (int sx = 0; sx < ape.w; sx++) {
          const double cx = (sx + 0.5) * step, cy = (sy + 0.5) * step;
          if (cx <= x || cx > x + 1 || cy <= y || cy > y + 1)
            continue;
          const Rgba &p = ape.at(sx, sy);
          for (int k = 0; k < 3; k++)
            sum[k] += p[3] / 255.0 * p[static_cast<size_t>(k)];
          sum[3] += p[3] / 255.0;
          area += 1;
        }
      Rgba &o = out.at(left + x, top + y);
      for (int k = 0; k < 3 && sum[3] > 0; k++)
        o[static_cast<size_t>(k)] = static_cast<uint8_t>(sum[k] / sum[3] + 0.5);
      if (area > 0)
        o[3] = static_cast<uint8_t>(255 * sum[3] / area + 0.5);
    }
  return out;
}

} // namespace

void write_icons(const Image &ape, const Palette &pal, const std::string &dir,
                 const std::string &name, const std::vector<int> &sizes) {
  Picture cut = cut_out(ape, pal);
  for (int size : sizes) {
    const std::string s = std::to_string(size);
    const std::filesystem::path folder =
        std::filesystem::path(dir) / (s + "x" + s) / "apps";
    std::filesystem::create_directories(folder);
    const std::vector<uint8_t> png = encode_png(icon(cut, size));
    std::ofstream out(folder / (name + ".png"), std::ios::binary);
    out.write(reinterpret_cast<const char *>(png.data()),
              static_cast<std::streamsize>(png.size()));
    if (!out)
      throw std::runtime_error("cannot write " + (folder / name).string());
  }
}

} // namespace pack
