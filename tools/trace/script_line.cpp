// SPDX-License-Identifier: MIT
#include "script_line.h"

#include <allegro.h>

#include <cstdlib>

namespace {

struct KeyName {
  const char *name;
  int scancode;
  int ascii;
};

const KeyName named_keys[] = {
    {"UP", KEY_UP, 0},        {"DOWN", KEY_DOWN, 0},
    {"LEFT", KEY_LEFT, 0},    {"RIGHT", KEY_RIGHT, 0},
    {"ENTER", KEY_ENTER, 13}, {"SPACE", KEY_SPACE, ' '},
    {"ESC", KEY_ESC, 27},     {"1", KEY_1, '1'},
    {"2", KEY_2, '2'},
};

bool lookup_key(const std::string &name, int *scancode, int *ascii) {
  for (const KeyName &k : named_keys) {
    if (name == k.name) {
      *scancode = k.scancode;
      *ascii = k.ascii;
      return true;
    }
  }
  if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') {
    *scancode = KEY_A + (name[0] - 'A');
    *ascii = 'a' + (name[0] - 'A');
    return true;
  }
  return false;
}

std::vector<std::string> split(const std::string &s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r'))
      i++;
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t' && s[j] != '\r')
      j++;
    if (j > i)
      out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

bool fail(std::string *why, const std::string &text) {
  *why = text;
  return false;
}

} // namespace

int ascii_of(int scancode) {
  for (const KeyName &k : named_keys)
    if (k.scancode == scancode)
      return k.ascii;
  return 'a' + (scancode - KEY_A);
}

std::vector<std::string> line_tokens(std::string s) {
  while (!s.empty() && s.back() == '\r')
    s.pop_back();
  return split(s);
}

bool skipped(const std::vector<std::string> &tokens) {
  return tokens.empty() || tokens[0][0] == '#';
}

bool parse_line(const std::vector<std::string> &tokens, ScriptLine *out,
                std::string *why) {
  ScriptLine line;
  if (tokens[0] == "T")
    line.tick = true;
  else if (tokens[0] != ".")
    return fail(why,
                "expected T or . to begin the line, found '" + tokens[0] + "'");
  // Keys, then a repeat count, then a shot name, each at most once.
  int stage = 0;
  for (size_t t = 1; t < tokens.size(); t++) {
    const std::string &tok = tokens[t];
    if (tok[0] == '@') {
      if (stage >= 3)
        return fail(why, "more than one @NAME");
      std::string name = tok.substr(1);
      if (name.empty())
        return fail(why, "@ without a name");
      for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
              (c >= '0' && c <= '9') || c == '-' || c == '_'))
          return fail(why, "bad character in shot name '" + name + "'");
      line.shot = name;
      stage = 3;
    } else if (tok[0] == 'x' && tok.size() > 1) {
      if (stage >= 2)
        return fail(why, "repeat count '" + tok + "' out of place");
      std::string digits = tok.substr(1);
      if (digits.size() > 9 ||
          digits.find_first_not_of("0123456789") != std::string::npos)
        return fail(why, "bad repeat count '" + tok + "'");
      line.repeat = strtol(digits.c_str(), nullptr, 10);
      if (line.repeat < 1)
        return fail(why, "repeat count must be at least 1");
      stage = 2;
    } else {
      if (stage >= 1)
        return fail(why, "keys '" + tok + "' out of place");
      size_t start = 0;
      while (start <= tok.size()) {
        size_t comma = tok.find(',', start);
        if (comma == std::string::npos)
          comma = tok.size();
        std::string name = tok.substr(start, comma - start);
        int scancode, ascii;
        if (!lookup_key(name, &scancode, &ascii))
          return fail(why, "unknown key '" + name + "'");
        line.keys.push_back(scancode);
        start = comma + 1;
      }
      stage = 1;
    }
  }
  *out = line;
  return true;
}
