// SPDX-License-Identifier: MIT
// The platform layer of zarn-trace: a script stands in for the timer and the
// keyboard, the screen is a memory bitmap, sample calls and message boxes are
// printed instead of played or shown, and the seed is fixed.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/game_state.h"
#include "platform/platform.h"
#include "script_line.h"
#include "trace.h"

TraceOptions trace_options;

namespace {

long pass_no;
ScriptLine current;
long passes_left;
std::vector<int> held_before;
std::atomic<int> *pending_tick;

bool contains(const std::vector<int> &v, int x) {
  for (int y : v)
    if (y == x)
      return true;
  return false;
}

void apply_line(bool first_pass) {
  if (current.tick)
    pending_tick->store(1);
  for (int k = 0; k < KEY_MAX; k++)
    key[k] = contains(current.keys, k) ? -1 : 0;
  if (!first_pass)
    return;
  for (int k : current.keys)
    if (!contains(held_before, k))
      simulate_keypress((k << 8) | ascii_of(k));
  held_before = current.keys;
}

void save_shot(const std::string &name) {
  if (trace_options.shots_dir.empty() || screen == nullptr)
    return;
  PALETTE pal;
  get_palette(pal);
  std::string path = trace_options.shots_dir + "/" + name + ".bmp";
  // The pack's password stays in force for the whole run and would
  // otherwise scramble the shot.
  packfile_password(nullptr);
  int failed = save_bitmap(path.c_str(), screen, pal);
  packfile_password(ZARN_PACK_PASSWORD);
  if (failed != 0) {
    fprintf(stderr, "zarn-trace: cannot write %s\n", path.c_str());
    fflush(stdout);
    _exit(2);
  }
}

void set_error(const char *text) {
  ustrzcpy(allegro_error, ALLEGRO_ERROR_SIZE, text);
}

} // namespace

int platform_install_system(char *why, int why_size) {
  set_uformat(U_ASCII);
  if (install_allegro(SYSTEM_NONE, &errno, atexit) == 0)
    return 0;
  snprintf(why, static_cast<size_t>(why_size), "%s", allegro_error);
  return -1;
}

int platform_install_keyboard_and_timer(char *, int) { return 0; }

// Seeded from the script's --seed on the first pass instead.
void platform_seed_random() {}

// The script's T stands in for the timer and sets the flag itself.
void platform_install_tick(void (*)(), std::atomic<int> *pending) {
  pending_tick = pending;
}

int platform_install_sound(const char *) {
  return trace_options.no_sound ? -1 : 0;
}

int platform_set_gfx_mode(GfxRole role) {
  bool ok =
      trace_options.display == DISPLAY_WINDOW ||
      (trace_options.display == DISPLAY_AUTO && role == GFX_ROLE_AUTODETECT);
  if (!ok) {
    set_error("no display mode can be set here");
    return -1;
  }
  if (screen == nullptr)
    screen = create_bitmap(FRAME_W, FRAME_H);
  clear_to_color(screen, 0);
  return 0;
}

// The frame lands in the memory screen as it is; the shots are taken there.
void platform_present(BITMAP *frame) {
  blit(frame, screen, 0, 0, 0, 0, FRAME_W, FRAME_H);
}

// Nothing but the script ends a replay.
bool platform_quit_requested() { return false; }
int platform_quit_exit_value() { return 0; }
void platform_on_display_lost(void (*)()) {}
void platform_shut_down() { allegro_exit(); }

void platform_play_sample(SAMPLE *s, int loop) {
  trace_emit(
      "{\"sound\":\"play\",\"sample\":" + std::to_string(object_index(s)) +
      ",\"loop\":" + std::to_string(loop ? 1 : 0) + "}");
}

void platform_stop_sample(SAMPLE *s) {
  trace_emit("{\"sound\":\"stop\",\"sample\":" +
             std::to_string(object_index(s)) + "}");
}

void platform_message(const char *text) {
  trace_emit("{\"message\":" + json_string(text) + "}");
}

void platform_wait_pass(LoopId loop) {
  static const char *const loop_names[] = {"prompt", "menu", "game",
                                           "instructions"};
  if (pass_no == 0)
    srand(trace_options.seed);
  std::string pass_line = "{\"pass\":" + std::to_string(pass_no) +
                          ",\"loop\":\"" + loop_names[loop] + "\"" +
                          trace_state() + "}";
  // A driver on the other end of a pipe waits for this pass's state before
  // it writes the line for it. When no line is waiting, the state goes out
  // first; otherwise the line is read first, so that at the script's end
  // the end line takes the place of the pass line.
  bool printed = false;
  if (passes_left == 0 && !trace_script_ready()) {
    trace_emit(pass_line);
    printed = true;
  }
  bool first_pass = false;
  if (passes_left == 0) {
    if (!trace_read_line(&current)) {
      trace_emit("{\"end\":\"script\"" + trace_state() + "}");
      exit(0);
    }
    passes_left = current.repeat;
    first_pass = true;
  }
  passes_left--;
  // Saved before the pass line where possible, so a reader who sees the
  // line finds the picture complete.
  if (!current.shot.empty())
    save_shot(current.shot);
  if (!printed)
    trace_emit(pass_line);
  pass_no++;
  apply_line(first_pass);
}
