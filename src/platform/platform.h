// SPDX-License-Identifier: MIT
// What differs between the real machine and the headless replay harness.
// The game calls only these for the library's system, timer, display, sound,
// message box and clock seed; the rest of the library it uses directly.
#ifndef ZARN_PLATFORM_H
#define ZARN_PLATFORM_H

#include "platform/tick_rate.h"

#include <allegro.h>

#include <atomic>

// The game's picture: every frame is drawn at this size, in 8 bits, and only
// the platform decides how it is enlarged on the display.
enum { FRAME_W = 320, FRAME_H = 240 };

// The display modes start-up asks for, by the role they play.
enum GfxRole {
  GFX_ROLE_WINDOW,          // the preferred windowed driver
  GFX_ROLE_WINDOW_FALLBACK, // the plain windowed driver
  GFX_ROLE_FULLSCREEN,      // the accelerated full-screen driver
  GFX_ROLE_AUTODETECT       // whatever the library finds
};

// The loops that report each pass.
enum LoopId { LOOP_PROMPT, LOOP_MENU, LOOP_GAME, LOOP_INSTRUCTIONS };

// install_allegro; 0 on success. On failure the message says why.
int platform_install_system(char *why, int why_size);
void platform_install_keyboard_and_timer();
void platform_seed_random();
// The handler runs TICKS_PER_SECOND times a second and sets `pending`, which
// the game loop clears when it takes the tick; the flag is the game's, lent
// here so that platform_wait_pass can wait for it.
void platform_install_tick(void (*handler)(), std::atomic<int> *pending);
// The library's install_sound result: 0 when sound is available.
int platform_install_sound(const char *config_path);
// 0 when the mode was set. The screen may then be larger than the game's
// picture: only platform_present draws on it.
int platform_set_gfx_mode(GfxRole role);
// Shows a finished FRAME_W x FRAME_H frame of the colour depth 8, in the
// colours of the palette last given to set_palette.
void platform_present(BITMAP *frame);
void platform_play_sample(SAMPLE *s, int loop);
void platform_stop_sample(SAMPLE *s);
void platform_message(const char *text);
// Called at the top of every pass of every loop; waits, when the platform
// has a clock, until the pass is due.
void platform_wait_pass(LoopId loop);
// The last call: the library is shut down, and nothing of it is used after.
void platform_shut_down();

// True once the player closed the window or the system asked the program to
// end (a signal); the loops look at it where they look at the keys.
bool platform_quit_requested();
// The exit value such a request asks for: 0 for the close button, 128 + N
// for signal N.
int platform_quit_exit_value();
// When the display goes away the program cannot go on drawing and ends at
// once, from whatever thread noticed; `save` runs first and must do nothing
// but keep what would otherwise be lost. A page runs it as it is hidden or
// closed, when it may end without another word, and goes on.
void platform_on_display_lost(void (*save)());

#endif
