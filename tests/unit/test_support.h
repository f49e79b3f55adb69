// SPDX-License-Identifier: MIT
// Shared set-up for the C++ harnesses (unit tests, tick benchmark, fuzz
// targets): the library without a display and the built resource pack.
#ifndef ZARN_TEST_SUPPORT_H
#define ZARN_TEST_SUPPORT_H

#include <allegro.h>

// Installs the library headless and loads and binds the pack, once, and
// gives the game an off-screen buffer. False when the pack cannot be loaded.
bool test_load_game_pack();

#endif
