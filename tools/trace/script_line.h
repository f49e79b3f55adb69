// SPDX-License-Identifier: MIT
// One line of a zarn-trace script, read apart from the tool's platform layer
// so that the reader can be driven on its own (the fuzz target does).
#ifndef ZARN_SCRIPT_LINE_H
#define ZARN_SCRIPT_LINE_H

#include <string>
#include <vector>

// The line in force and how many more passes it stands for.
struct ScriptLine {
  bool tick = false;
  std::vector<int> keys; // scancodes held
  long repeat = 1;
  std::string shot;
};

// The tokens of one line of text (without its newline); a trailing CR is
// dropped.
std::vector<std::string> line_tokens(std::string s);
// Blank and comment lines do not count as passes.
bool skipped(const std::vector<std::string> &tokens);
// Reads the tokens of a line that counts; false with the reason in why when
// they are not a script line.
bool parse_line(const std::vector<std::string> &tokens, ScriptLine *line,
                std::string *why);
// The character a key press of this scancode puts in the keyboard buffer.
int ascii_of(int scancode);

#endif
