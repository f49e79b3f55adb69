// SPDX-License-Identifier: MIT
// Turns the text sources under data/ into the files the `dat` tool packs:
// one file per object, named NN_what.ext so the pack keeps index NN, and a
// list (pack.lst) of "TYPE FILE" lines telling dat how to read each; or
// draws the application icons from the standing ape.
//
//   zarn_packtool SOURCE_DIR OUT_DIR
//   zarn_packtool --icons SOURCE_DIR ICON_DIR ICON_NAME SIZE...
#include "checks.h"
#include "core/pack_catalogue.h"
#include "font.h"
#include "icons.h"
#include "image.h"
#include "scenes.h"
#include "sound.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <vector>

namespace fs = std::filesystem;
using namespace pack;

namespace {

// The dat tool's name for each of the catalogue's types.
const char *dat_type(PackType type) {
  switch (type) {
  case PACK_BITMAP:
    return "BMP";
  case PACK_FONT:
    return "FONT";
  case PACK_PALETTE:
    return "PAL";
  case PACK_SAMPLE:
    return "SAMP";
  case PACK_ANY:
    break;
  }
  return "DATA";
}

// Holds a picture to its size in the catalogue, so a mistake shows up here
// and not as a clipped sprite on screen.
void check_size(const std::string &name, const Image &img,
                const PackObject &want) {
  const bool cut = want.fit == FIT_CUT;
  if (want.fit == FIT_NONE || (cut ? img.w >= want.w && img.h >= want.h
                                   : img.w == want.w && img.h == want.h))
    return;
  throw SourceError(name + " is " + std::to_string(img.w) + "x" +
                    std::to_string(img.h) + ", the game wants " +
                    (cut ? "at least " : "") + std::to_string(want.w) + "x" +
                    std::to_string(want.h));
}

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
  check_pictures(art, pal);

  std::map<int, std::pair<std::string, std::string>>
      objects; // index -> type, file
  auto add = [&](const std::string &name, const std::string &type,
                 const std::vector<uint8_t> &bytes) {
    const int index = index_of(name);
    if (index < 0 || index >= PACK_OBJECTS)
      throw SourceError(name + ": no object index in the name");
    if (objects.count(index))
      throw SourceError(name + ": index " + std::to_string(index) +
                        " is taken by " + objects[index].second);
    if (type != dat_type(pack_catalogue[index].type))
      throw SourceError(name + ": object " + std::to_string(index) +
                        " must be " + dat_type(pack_catalogue[index].type));
    write_file(out / name, bytes);
    objects[index] = {type, name};
  };

  for (const auto &[name, img] : art) {
    const int index = index_of(name);
    if (index < 0)
      continue; // a part of something larger, not an object of its own
    add(name + ".bmp", "BMP", encode_bmp(img, pal));
    check_size(name, img, pack_catalogue[index]);
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

  const std::vector<Sound> sounds = make_sounds();
  check_sounds(sounds);
  for (const Sound &s : sounds)
    add(s.name + ".wav", "SAMP", encode_wav(s.pcm));

  for (const PackObject &o : pack_catalogue)
    if (!objects.count(o.index))
      throw SourceError("nothing makes object " + std::to_string(o.index) +
                        " (" + o.name + ")");

  std::ofstream list(out / "pack.lst");
  for (const auto &[index, entry] : objects)
    list << entry.first << ' ' << entry.second << '\n';
  if (!list)
    throw std::runtime_error("cannot write pack.lst");
  return 0;
}

int icons(const fs::path &src, const std::string &dir, const std::string &name,
          const std::vector<int> &sizes) {
  const Palette pal = Palette::load((src / "palette.txt").string());
  Art art;
  load_art_file((src / "art" / "ape.txt").string(), pal, art);
  write_icons(art.at("02_ape_stand"), pal, dir, name, sizes);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  const bool icon_mode = argc >= 6 && std::string(argv[1]) == "--icons";
  std::vector<int> sizes;
  for (int i = 5; icon_mode && i < argc; i++)
    sizes.push_back(std::atoi(argv[i]));
  if ((argc != 3 && !icon_mode) ||
      std::any_of(sizes.begin(), sizes.end(), [](int s) { return s <= 0; })) {
    std::cerr << "usage: zarn_packtool SOURCE_DIR OUT_DIR\n"
                 "       zarn_packtool --icons SOURCE_DIR ICON_DIR ICON_NAME "
                 "SIZE...\n";
    return 2;
  }
  try {
    return icon_mode ? icons(argv[2], argv[3], argv[4], sizes)
                     : run(argv[1], argv[2]);
  } catch (const std::exception &e) {
    std::cerr << "zarn_packtool: " << e.what() << '\n';
    return 1;
  }
}
