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

// Opens the script; false with a message on stderr when it can't.
bool trace_open_script();
// One JSON line, flushed at once.
void trace_emit(const std::string &line);
// The state keys shared by pass, end and exit lines, starting with a comma.
std::string trace_state();

#endif
