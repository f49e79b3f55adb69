// SPDX-License-Identifier: MIT
// Shared set-up for the C++ harnesses (unit tests, tick benchmark, fuzz
// targets): the library without a display and the built resource pack.
#ifndef ZARN_TEST_SUPPORT_H
#define ZARN_TEST_SUPPORT_H

#include <allegro.h>

#include <vector>

#include "platform/platform.h"

// Installs the library headless and loads and binds the pack, once, and
// gives the game an off-screen buffer. False when the pack cannot be loaded.
bool test_load_game_pack();

// Writes bytes as the game stores its pack, inside the packfile layer under
// the game's password, which it leaves in force for load_pack. False when
// the file cannot be written.
bool test_put_pack(const char *path, const void *data, long size);

// The stand-in platform's display: every mode asked for, in order, and a bit
// (1 << role) for each role that fails; all fail unless a test says otherwise.
extern std::vector<GfxRole> test_mode_requests;
extern unsigned test_failing_modes;
// Called at the top of every pass of every loop, when set.
extern void (*test_on_pass)();

// The stand-in's kept best score: its bytes (len -1: none kept), what
// writing in place and a replacement meet, and the count of rewrites in
// place.
struct TestKept {
  unsigned char bytes[16];
  int len = -1;
  int in_place_error = 0;
  int replace_error = 0;
  bool replace_made = true;
  int rewrites = 0;
};
extern TestKept test_kept;

#endif
