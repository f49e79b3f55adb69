// SPDX-License-Identifier: MIT
// Any bytes as a zarn-trace script, read line by line as the tool reads it.
// A line that is turned away must say why; a line that is accepted must
// hold only what a line can say: a repeat count of at least 1, keys the
// script names, and a picture's name of letters, digits, '-' and '_'.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "script_line.h"

namespace {

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
  if (line.repeat < 1)
    abort();
  for (int k : line.keys)
    if (ascii_of(k) < 0 || ascii_of(k) > 127)
      abort();
  for (char c : line.shot)
    if (!isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
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
