// SPDX-License-Identifier: MIT
// zarn-trace's script input: read through a buffer of its own, so the tool
// can tell whether the next line is already there or would have to be
// waited for.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "script_line.h"
#include "trace.h"

namespace {

int script_fd = -1;
std::string script_buffer;
bool script_eof;
int script_line_no;

[[noreturn]] void script_error(const std::string &why) {
  fflush(stdout);
  fprintf(stderr, "zarn-trace: %s line %d: %s\n",
          trace_options.script_path.c_str(), script_line_no, why.c_str());
  fflush(stderr);
  _exit(2);
}

// Reads more of the script; false at its end.
bool fill_script_buffer() {
  char block[4096];
  for (;;) {
    ssize_t n = read(script_fd, block, sizeof block);
    if (n > 0) {
      script_buffer.append(block, static_cast<size_t>(n));
      return true;
    }
    if (n == 0) {
      script_eof = true;
      return false;
    }
    if (errno != EINTR)
      script_error("cannot read the script");
  }
}

// Drops the blank and comment lines at the front of the buffer; true when a
// line that counts, or the script's end, is there to be taken.
bool next_line_buffered() {
  for (;;) {
    size_t nl = script_buffer.find('\n');
    if (nl == std::string::npos)
      return script_eof;
    if (!skipped(line_tokens(script_buffer.substr(0, nl))))
      return true;
    script_buffer.erase(0, nl + 1);
    script_line_no++;
  }
}

} // namespace

bool trace_open_script() {
  if (trace_options.script_path == "-") {
    script_fd = 0;
    return true;
  }
  script_fd = open(trace_options.script_path.c_str(), O_RDONLY);
  if (script_fd < 0) {
    fprintf(stderr, "zarn-trace: cannot open %s: %s\n",
            trace_options.script_path.c_str(), strerror(errno));
    return false;
  }
  return true;
}

// True when the next line (or the script's end) can be had without waiting.
// Comment lines already sent do not count: a driver may send one and then
// wait for the pass line.
bool trace_script_ready() {
  for (;;) {
    if (next_line_buffered())
      return true;
    struct pollfd p = {script_fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0)
      return false;
    fill_script_buffer();
  }
}

// The next script line, or false at the end of the script.
bool trace_read_line(ScriptLine *out) {
  while (!next_line_buffered()) {
    if (script_buffer.size() > 65536)
      script_error("line too long");
    fill_script_buffer();
  }
  // At the script's end the rest of the buffer is its last, unended line.
  size_t nl = script_buffer.find('\n');
  std::vector<std::string> tokens = line_tokens(script_buffer.substr(0, nl));
  script_buffer.erase(0, nl == std::string::npos ? nl : nl + 1);
  script_line_no++;
  if (skipped(tokens))
    return false;
  std::string why;
  if (!parse_line(tokens, out, &why))
    script_error(why);
  return true;
}
