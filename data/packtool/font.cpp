// SPDX-License-Identifier: MIT
#include "font.h"

#include "image.h" // SourceError

#include <fstream>
#include <sstream>

namespace pack {

std::vector<uint8_t> load_font(const std::string &path) {
  std::ifstream in(path);
  if (!in)
    throw SourceError(path + ": cannot open");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  std::vector<uint8_t> font(2048, 0);
  std::vector<bool> seen(256, false);
  for (size_t n = 0; n < lines.size(); n++) {
    const std::string &line = lines[n];
    const std::string here = path + ":" + std::to_string(n + 1) + ": ";
    if (line.empty() || line[0] == '#')
      continue;
    std::istringstream words(line);
    std::string word;
    int code = -1;
    if (!(words >> word >> code) || word != "char" || code < 0 || code > 255)
      throw SourceError(here + "expected: char CODE");
    if (seen[static_cast<size_t>(code)])
      throw SourceError(here + "character " + std::to_string(code) +
                        " drawn twice");
    seen[static_cast<size_t>(code)] = true;
    if (n + 8 >= lines.size())
      throw SourceError(here + "glyph runs past the end of the file");
    for (int y = 0; y < 8; y++) {
      const std::string &row = lines[n + 1 + static_cast<size_t>(y)];
      if (row.size() != 8 || row.find_first_not_of(".#") != std::string::npos)
        throw SourceError(path + ":" +
                          std::to_string(n + 2 + static_cast<size_t>(y)) +
                          ": a glyph row is 8 of '.' and '#'");
      uint8_t bits = 0;
      for (int x = 0; x < 8; x++)
        if (row[static_cast<size_t>(x)] == '#')
          bits = static_cast<uint8_t>(bits | (0x80 >> x));
      font[static_cast<size_t>(code * 8 + y)] = bits;
    }
    n += 8;
  }
  for (int c = 32; c <= 126; c++)
    if (!seen[static_cast<size_t>(c)])
      throw SourceError(path + ": no glyph for character " + std::to_string(c));
  return font;
}

} // namespace pack
