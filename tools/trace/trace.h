// SPDX-License-Identifier: MIT
// zarn-trace: the whole program run headless from a script of keys and ticks,
// printing the game state at the top of every pass.
#ifndef ZARN_TRACE_H
#define ZARN_TRACE_H

#include <string>

enum DisplayChoice { DISPLAY_WINDOW, DISPLAY_AUTO, DISPLAY_NONE };

struct TraceOptions {
  unsigned seed = 1;
  bool no_sound = false;
  DisplayChoice display = DISPLAY_WINDOW;
  std::string shots_dir;
  std::string script_path;
};

extern TraceOptions trace_options;

struct ScriptLine;

// Opens the script; false with a message on stderr when it can't.
bool trace_open_script();
// True when the next line (or the script's end) can be had without waiting.
bool trace_script_ready();
// The next script line, or false at the end of the script; a line that is
// no script line ends the tool with exit value 2.
bool trace_read_line(ScriptLine *out);
// One JSON line, flushed at once.
void trace_emit(const std::string &line);
// The state keys shared by pass, end and exit lines, starting with a comma.
std::string trace_state();
// The pack object's index, or -1.
int object_index(const void *p);
// The text as a JSON string, quotes and all.
std::string json_string(const char *text);

#endif
