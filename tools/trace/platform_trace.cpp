// The platform layer of zarn-trace: a script stands in for the timer and the
// keyboard, the screen is a memory bitmap, sample calls and message boxes are
// printed instead of played or shown, and the seed is fixed.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/game_state.h"
#include "platform/platform.h"
#include "script_line.h"
#include "trace.h"

TraceOptions trace_options;

namespace {

// The script is read through a buffer of our own, so the tool can tell
// whether the next line is already there or would have to be waited for.
int script_fd = -1;
std::string script_buffer;
bool script_eof;
int script_line_no;
long pass_no;
ScriptLine current;
long passes_left;
std::vector<int> held_before;
std::atomic<int> *pending_tick;
BITMAP *object_cache[PACK_OBJECTS];

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

// True when the next line (or the script's end) can be had without waiting.
// Comment lines already sent do not count: a driver may send one and then
// wait for the pass line.
bool script_ready() {
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
bool read_line(ScriptLine *out) {
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
  packfile_password("qev");
  if (failed != 0) {
    fprintf(stderr, "zarn-trace: cannot write %s\n", path.c_str());
    fflush(stdout);
    _exit(2);
  }
}

int object_index(const void *p) {
  if (pack != nullptr)
    for (int i = 0; i < PACK_OBJECTS; i++)
      object_cache[i] = static_cast<BITMAP *>(pack[i].dat);
  if (p == nullptr)
    return -1;
  for (int i = 0; i < PACK_OBJECTS; i++)
    if (object_cache[i] == p)
      return i;
  return -1;
}

void append_int(std::string &s, const char *name, long v) {
  s += ",\"";
  s += name;
  s += "\":";
  s += std::to_string(v);
}

std::string json_string(const char *text) {
  std::string out = "\"";
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
       *p; p++) {
    if (*p == '"' || *p == '\\') {
      out += '\\';
      out += static_cast<char>(*p);
    } else if (*p == '\n') {
      out += "\\n";
    } else if (*p < 0x20) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", *p);
      out += esc;
    } else {
      out += static_cast<char>(*p);
    }
  }
  return out + "\"";
}

void set_error(const char *text) {
  ustrzcpy(allegro_error, ALLEGRO_ERROR_SIZE, text);
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

void trace_emit(const std::string &line) {
  fputs(line.c_str(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

std::string trace_state() {
  std::string s;
  append_int(s, "tick_flag", tick_flag.load());
  append_int(s, "level", level);
  s += ",\"cur_params\":[" + std::to_string(cur_params.barrel_slots) + "," +
       std::to_string(cur_params.spawn_base) + "," +
       std::to_string(cur_params.stop_wait) + "," +
       std::to_string(cur_params.roll_delay) + "," +
       std::to_string(cur_params.deliver_delay) + "]";
  append_int(s, "delivered", delivered);
  append_int(s, "misses", misses);
  append_int(s, "score", score);
  append_int(s, "top_score", top_score);
  append_int(s, "hiscore", hiscore);
  append_int(s, "game_over", game_over);
  append_int(s, "clear_countdown", clear_countdown);
  append_int(s, "cheer_timer", cheer_timer);
  append_int(s, "spawn_timer", spawn_timer);
  append_int(s, "ape_y", ape_y);
  append_int(s, "ape_rung", ape_rung);
  append_int(s, "ape_pose", ape_pose);
  append_int(s, "pose_timer", pose_timer);
  append_int(s, "carried", carried);
  append_int(s, "handover_slot", handover_slot);
  append_int(s, "key_latch", key_latch);
  append_int(s, "menu_cursor", menu_cursor);
  append_int(s, "menu_choice", menu_choice);
  append_int(s, "run_ticks", run_ticks);
  append_int(s, "run_active", run_active);
  append_int(s, "sound_on", sound_on);
  append_int(s, "bonus_type", bonus_type);
  append_int(s, "bonus_roll_timer", bonus_roll_timer);
  append_int(s, "bonus_time_left", bonus_time_left);
  append_int(s, "score_at_roll", score_at_roll);
  s += ",\"flames\":[";
  for (int i = 0; i < 2; i++) {
    if (i)
      s += ",";
    s += "[" + std::to_string(flames[i].x) + "," +
         std::to_string(flames[i].frame) + "," +
         std::to_string(flames[i].timer) + "]";
  }
  s += "]";
  append_int(s, "miss_anim_timer", miss_anim_timer);
  append_int(s, "miss_frame", miss_frame);
  s += ",\"barrels\":[";
  for (int i = 0; i < MAX_BARRELS; i++) {
    const BarrelSlot &b = barrels[i];
    if (i)
      s += ",";
    s += "[" + std::to_string(b.state) + "," + std::to_string(b.frame) + "," +
         std::to_string(b.x) + "," + std::to_string(b.y) + "," +
         std::to_string(b.dx) + "," + std::to_string(b.step_timer) + "," +
         std::to_string(b.wait_timer) + "," + std::to_string(b.lane) + "," +
         std::to_string(object_index(b.sprite)) + "]";
  }
  s += "]";
  append_int(s, "ape_sprite", object_index(ape_sprite));
  append_int(s, "lady_sprite", object_index(lady_sprite));
  append_int(s, "bonus_sprite", object_index(bonus_sprite));
  append_int(s, "flame_sprite", object_index(flame_sprite));
  append_int(s, "miss_sprite", object_index(miss_sprite));
  return s;
}

int platform_install_system(char *why, int why_size) {
  set_uformat(U_ASCII);
  if (install_allegro(SYSTEM_NONE, &errno, atexit) == 0)
    return 0;
  snprintf(why, static_cast<size_t>(why_size), "%s", allegro_error);
  return -1;
}

void platform_install_keyboard_and_timer() {}

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
    screen = create_bitmap(320, 240);
  clear_to_color(screen, 0);
  return 0;
}

// The frame lands in the memory screen as it is; the shots are taken there.
void platform_present(BITMAP *frame) {
  blit(frame, screen, 0, 0, 0, 0, 320, 240);
}

// Nothing but the script ends a replay.
bool platform_quit_requested() { return false; }
int platform_quit_exit_value() { return 0; }
void platform_on_display_lost(void (*)()) {}

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

void platform_pass(LoopId loop) {
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
  if (passes_left == 0 && !script_ready()) {
    trace_emit(pass_line);
    printed = true;
  }
  bool first_pass = false;
  if (passes_left == 0) {
    if (!read_line(&current)) {
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
