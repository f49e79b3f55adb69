// SPDX-License-Identifier: MIT
#include "trace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "startup/game_main.h"

namespace {

int usage(const char *why) {
  fprintf(stderr,
          "zarn-trace: %s\nusage: zarn-trace [--seed N] [--no-sound] "
          "[--display window|auto|none] [--shots DIR] SCRIPT\n",
          why);
  return 2;
}

bool parse_seed(const char *text, unsigned *seed) {
  if (*text == '\0' || strlen(text) > 10)
    return false;
  for (const char *p = text; *p; p++)
    if (*p < '0' || *p > '9')
      return false;
  unsigned long long v = strtoull(text, nullptr, 10);
  if (v > 4294967295ULL)
    return false;
  *seed = static_cast<unsigned>(v);
  return true;
}

} // namespace

int main(int argc, char **argv) {
  int i = 1;
  for (; i < argc; i++) {
    const char *a = argv[i];
    if (strcmp(a, "--seed") == 0) {
      if (i + 1 >= argc || !parse_seed(argv[i + 1], &trace_options.seed))
        return usage("--seed takes a number from 0 to 4294967295");
      i++;
    } else if (strcmp(a, "--no-sound") == 0) {
      trace_options.no_sound = true;
    } else if (strcmp(a, "--display") == 0) {
      if (i + 1 >= argc)
        return usage("--display takes window, auto or none");
      const char *d = argv[++i];
      if (strcmp(d, "window") == 0)
        trace_options.display = DISPLAY_WINDOW;
      else if (strcmp(d, "auto") == 0)
        trace_options.display = DISPLAY_AUTO;
      else if (strcmp(d, "none") == 0)
        trace_options.display = DISPLAY_NONE;
      else
        return usage("--display takes window, auto or none");
    } else if (strcmp(a, "--shots") == 0) {
      if (i + 1 >= argc)
        return usage("--shots takes a directory");
      trace_options.shots_dir = argv[++i];
    } else if (a[0] == '-' && a[1] != '\0') {
      return usage((std::string("unknown option ") + a).c_str());
    } else {
      break;
    }
  }
  if (i != argc - 1)
    return usage("exactly one SCRIPT is needed");
  trace_options.script_path = argv[i];
  if (!trace_open_script())
    return 2;

  char name[] = "zarn";
  char *game_argv[] = {name, nullptr};
  int code = game_main(1, game_argv);
  trace_emit("{\"exit\":" + std::to_string(code) + trace_state() + "}");
  return 0;
}
