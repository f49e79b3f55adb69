// SPDX-License-Identifier: MIT
#include "test_support.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "core/game_state.h"
#include "platform/platform.h"
#include "startup/pack.h"

// The one stand-in for the platform that the C++ harnesses link (the unit
// tests, the tick benchmark and the pack fuzz target): silent, with no
// display, sound or timer. They call the game's procedures directly. It
// keeps the display modes asked for, sets those test_failing_modes leaves
// out, and lets a test play a loop's passes through test_on_pass. Its best
// score is kept in memory, in test_kept, where a test sets what reading and
// keeping it meet; the pack is a real file.
std::vector<GfxRole> test_mode_requests;
TestKept test_kept;
unsigned test_failing_modes = ~0u;
void (*test_on_pass)() = nullptr;

int platform_install_system(char *, int) { return 0; }
int platform_install_keyboard_and_timer(char *, int) { return 0; }
void platform_seed_random() {}
void platform_install_tick(void (*)(), std::atomic<int> *) {}
int platform_install_sound(const char *) { return -1; }
int platform_set_gfx_mode(GfxRole role) {
  test_mode_requests.push_back(role);
  return (test_failing_modes >> role & 1) ? -1 : 0;
}
void platform_play_sample(SAMPLE *, int) {}
void platform_stop_sample(SAMPLE *) {}
void platform_message(const char *) {}
void platform_wait_pass(LoopId) {
  if (test_on_pass != nullptr)
    test_on_pass();
}
void platform_present(BITMAP *) {}
bool platform_quit_requested() { return false; }
int platform_quit_exit_value() { return 0; }
void platform_on_display_lost(void (*)()) {}
void platform_shut_down() {}

int platform_regular_file(const char *path, int *err) {
  struct stat st;
  *err = stat(path, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  return *err == 0 && S_ISREG(st.st_mode);
}
int platform_read_kept(const char *, unsigned char *buf, int size, int *err,
                       FileAccess *access) {
  if (test_kept.len < 0) {
    *err = ENOENT;
    return -1;
  }
  *access = {0600, -1};
  int n = test_kept.len < size ? test_kept.len : size;
  memcpy(buf, test_kept.bytes, static_cast<size_t>(n));
  return n;
}
void platform_kept_place(const char *name, char *out, int size) {
  snprintf(out, static_cast<size_t>(size), "memory/%s", name);
}
void platform_begin_keep(const char *name, KeepTurn *turn) {
  snprintf(turn->target, sizeof turn->target, "%s", name);
}
int platform_in_place_write_error(const char *) {
  return test_kept.in_place_error;
}
int platform_replace_kept(const KeepTurn *, const unsigned char *bytes, int n,
                          const FileAccess &, bool *made) {
  *made = test_kept.replace_made;
  if (test_kept.replace_error != 0)
    return test_kept.replace_error;
  test_kept.len = n;
  memcpy(test_kept.bytes, bytes, static_cast<size_t>(n));
  return 0;
}
int platform_rewrite_kept(const char *, const unsigned char *bytes, int n) {
  test_kept.rewrites++;
  test_kept.len = n;
  memcpy(test_kept.bytes, bytes, static_cast<size_t>(n));
  return 0;
}
void platform_end_keep(KeepTurn *) {}

bool test_put_pack(const char *path, const void *data, long size) {
  packfile_password(ZARN_PACK_PASSWORD);
  PACKFILE *f = pack_fopen(path, F_WRITE_NOPACK);
  if (f == nullptr)
    return false;
  bool written = size == 0 || pack_fwrite(data, size, f) == size;
  return pack_fclose(f) == 0 && written;
}

bool test_load_game_pack() {
  if (pack != nullptr)
    return true;
  if (system_driver == nullptr) {
    set_uformat(U_ASCII);
    install_allegro(SYSTEM_NONE, &errno, atexit);
  }
  set_color_depth(8);
  set_color_conversion(COLORCONV_NONE);
  packfile_password(ZARN_PACK_PASSWORD);
  char why[256];
  pack = load_pack(ZARN_PACK_PATH, why, sizeof why);
  packfile_password(nullptr);
  if (pack == nullptr)
    return false;
  game_font = static_cast<FONT *>(pack[OBJ_FONT].dat);
  bind_pack();
  buffer = create_bitmap(FRAME_W, FRAME_H);
  return true;
}
