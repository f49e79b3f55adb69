// Turns the text sources under data/ into the files the `dat` tool packs:
// one file per object, named NN_what.ext so the pack keeps index NN, and a
// list (pack.lst) of "TYPE FILE" lines telling dat how to read each.
//
//   zarn_packtool SOURCE_DIR OUT_DIR
#include "font.h"
#include "image.h"
#include "scenes.h"
#include "sound.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

namespace fs = std::filesystem;
using namespace pack;

namespace {

constexpr int kObjects = 40;

struct Size {
  int w, h;
  bool exact;
};

// What the game's drawing code relies on, so a mistake shows up here and
// not as a clipped sprite on screen.
const std::map<int, Size> kSizes = {
    {0, {48, 40, true}},   {1, {48, 40, true}},    {2, {48, 40, true}},
    {3, {48, 40, true}},   {4, {48, 40, true}},    {5, {48, 40, true}},
    {6, {48, 40, true}},   {7, {48, 40, true}},    {8, {16, 16, true}},
    {9, {16, 16, true}},   {10, {15, 16, false}},  {11, {15, 16, false}},
    {12, {16, 23, false}}, {13, {16, 23, false}},  {15, {320, 240, true}},
    {16, {6, 6, false}},   {17, {12, 10, false}},  {18, {16, 22, true}},
    {19, {16, 22, true}},  {33, {320, 240, true}}, {34, {14, 10, true}},
    {35, {14, 10, true}},  {36, {14, 10, true}},   {37, {14, 10, true}},
    {38, {14, 12, true}},  {39, {10, 16, false}},
};

void write_file(const fs::path &path, const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out)
    throw std::runtime_error("cannot write " + path.string());
}

// The object index a file name starts with, or -1.
int index_of(const std::string &name) {
  if (name.size() < 3 || !isdigit(static_cast<unsigned char>(name[0])) ||
      !isdigit(static_cast<unsigned char>(name[1])) || name[2] != '_')
    return -1;
  return (name[0] - '0') * 10 + (name[1] - '0');
}

int run(const fs::path &src, const fs::path &out) {
  fs::create_directories(out);
  const Palette pal = Palette::load((src / "palette.txt").string());

  Art art;
  std::vector<fs::path> art_files;
  for (const auto &e : fs::directory_iterator(src / "art"))
    if (e.path().extension() == ".txt")
      art_files.push_back(e.path());
  std::sort(art_files.begin(), art_files.end());
  for (const fs::path &p : art_files)
    load_art_file(p.string(), pal, art);
  art["15_playfield"] = make_playfield(pal);
  art["33_title"] = make_title(art, pal);

  std::map<int, std::pair<std::string, std::string>>
      objects; // index -> type, file
  auto add = [&](const std::string &name, const std::string &type,
                 const std::vector<uint8_t> &bytes) {
    const int index = index_of(name);
    if (index < 0 || index >= kObjects)
      throw SourceError(name + ": no object index in the name");
    if (objects.count(index))
      throw SourceError(name + ": index " + std::to_string(index) +
                        " is taken by " + objects[index].second);
    write_file(out / name, bytes);
    objects[index] = {type, name};
  };

  for (const auto &[name, img] : art) {
    const int index = index_of(name);
    if (index < 0)
      continue; // a part of something larger, not an object of its own
    auto need = kSizes.find(index);
    if (need != kSizes.end()) {
      const Size &s = need->second;
      if (s.exact ? (img.w != s.w || img.h != s.h)
                  : (img.w < s.w || img.h < s.h))
        throw SourceError(name + " is " + std::to_string(img.w) + "x" +
                          std::to_string(img.h) + ", the game wants " +
                          (s.exact ? "" : "at least ") + std::to_string(s.w) +
                          "x" + std::to_string(s.h));
    }
    add(name + ".bmp", "BMP", encode_bmp(img, pal));
  }

  add("14_font.fnt", "FONT", load_font((src / "font.txt").string()));

  // dat reads a palette from an image's colour table; the pixels don't matter.
  Image swatch(16, 16);
  for (int i = 0; i < 256; i++)
    swatch.px[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  add("20_palette.bmp", "PAL", encode_bmp(swatch, pal));

  // Unused slots still need an object each, and dat refuses empty files.
  add("23_unused.bin", "DATA", {0});
  add("25_unused.bin", "DATA", {0});

  for (const Sound &s : make_sounds())
    add(s.name + ".wav", "SAMP", encode_wav(s.pcm));

  for (int i = 0; i < kObjects; i++)
    if (!objects.count(i))
      throw SourceError("nothing makes object " + std::to_string(i));

  std::ofstream list(out / "pack.lst");
  for (const auto &[index, entry] : objects)
    list << entry.first << ' ' << entry.second << '\n';
  if (!list)
    throw std::runtime_error("cannot write pack.lst");
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::cerr << "usage: zarn_packtool SOURCE_DIR OUT_DIR\n";
    return 2;
  }
  try {
    return run(argv[1], argv[2]);
  } catch (const std::exception &e) {
    std::cerr << "zarn_packtool: " << e.what() << '\n';
    return 1;
  }
}
