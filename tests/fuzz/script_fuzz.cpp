// SPDX-License-Identifier: MIT
// Any bytes as a zarn-trace script, read line by line as the tool reads it.
// A line that is accepted must hold only what a line can say, and written
// back in the script's own words it must read the same again; a line that is
// turned away must say why.
#include <allegro.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "script_line.h"

namespace {

std::string key_name(int scancode) {
  const struct {
    int code;
    const char *name;
  } named[] = {{KEY_UP, "UP"},       {KEY_DOWN, "DOWN"},   {KEY_LEFT, "LEFT"},
               {KEY_RIGHT, "RIGHT"}, {KEY_ENTER, "ENTER"}, {KEY_SPACE, "SPACE"},
               {KEY_ESC, "ESC"},     {KEY_1, "1"},         {KEY_2, "2"}};
  for (const auto &k : named)
    if (k.code == scancode)
      return k.name;
  if (scancode >= KEY_A && scancode <= KEY_Z)
    return std::string(1, static_cast<char>('A' + scancode - KEY_A));
  abort(); // a key no script can name
}

std::string written(const ScriptLine &l) {
  std::string s = l.tick ? "T" : ".";
  for (size_t i = 0; i < l.keys.size(); i++)
    s += (i ? "," : " ") + key_name(l.keys[i]);
  if (l.repeat != 1)
    s += " x" + std::to_string(l.repeat);
  if (!l.shot.empty())
    s += " @" + l.shot;
  return s;
}

void check_line(const std::string &text) {
  std::vector<std::string> tokens = line_tokens(text);
  if (skipped(tokens))
    return;
  ScriptLine line;
  std::string why;
  if (!parse_line(tokens, &line, &why)) {
    if (why.empty())
      abort();
    return;
  }
  if (line.repeat < 1 || line.repeat > 999999999)
    abort();
  for (int k : line.keys) {
    int a = ascii_of(k);
    if (a < 0 || a > 127)
      abort();
  }
  ScriptLine again;
  if (!parse_line(line_tokens(written(line)), &again, &why) ||
      again.tick != line.tick || again.keys != line.keys ||
      again.repeat != line.repeat || again.shot != line.shot)
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string script(reinterpret_cast<const char *>(data), size);
  size_t start = 0;
  while (start <= script.size()) {
    size_t nl = script.find('\n', start);
    if (nl == std::string::npos)
      nl = script.size();
    check_line(script.substr(start, nl - start));
    start = nl + 1;
  }
  return 0;
}
