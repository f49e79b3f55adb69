// SPDX-License-Identifier: MIT
// What differs between the machines the game runs on. Three faces define
// these: the desktop (desktop/, Linux and Windows), the page (web/) and the
// headless replay tool (tools/trace/); the C++ harnesses link a quiet
// stand-in. The game calls only these for the library's system, timer,
// display, sound, message box, clock seed and the files it keeps; the rest
// of the library it uses directly.
#ifndef ZARN_PLATFORM_H
#define ZARN_PLATFORM_H

#include "platform/tick_rate.h"

#include <allegro.h>

#include <atomic>

#include "platform/keep.h"

// The game's picture: every frame is drawn at this size, in 8 bits, and only
// the platform decides how it is enlarged on the display.
enum { FRAME_W = 320, FRAME_H = 240 };

// The mode prompt's two answers, "1 - ..." and "2 - ...", lines of text
// PROMPT_LINE_H high from PROMPT_ANSWERS_Y down, starting at x
// PROMPT_ANSWERS_X. A platform that takes taps turns one on an answer into
// its key.
enum { PROMPT_ANSWERS_X = 104, PROMPT_ANSWERS_Y = 112, PROMPT_LINE_H = 8 };

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
// The keys and the timer; 0 on success, else -1 and the message says why.
int platform_install_keyboard_and_timer(char *why, int why_size);
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

// ---- The files: the pack read, the best score kept ----------------------
// What to keep, and when a keep must leave what is there alone, is the
// game's (startup/hiscore.cpp); how bytes are kept is the machine's. The
// desktop and the replay tool keep them in a file of that name in the
// current folder (platform/files.cpp over files_posix.cpp or
// files_windows.cpp), the page in the browser's storage (web/storage.cpp).
// FileAccess and KeepTurn are in keep.h.

// 1 when path is a regular file, looked at without ever blocking: a pipe
// with no writer under the pack's name would otherwise hold the game. Else 0
// with *err the system's error (EISDIR for a directory) or 0 for anything
// else that is not a regular file.
int platform_regular_file(const char *path, int *err);

// Reads up to size bytes from the start of what is kept under name: their
// count, or -1 with *err set as platform_regular_file sets it (ENOENT when
// nothing is kept). *access gets the file's.
int platform_read_kept(const char *name, unsigned char *buf, int size, int *err,
                       FileAccess *access);
// Where name is kept, in words for a message (a folder's whole path: the
// player never chose the folder the game runs in).
void platform_kept_place(const char *name, char *out, int size);

// Begins a keep of name. Its target is the file a symbolic link at name
// stands for, through any chain of links, made if not there yet: a player
// who shares the file between two copies keeps the link. Games keeping in
// the target's folder take turns, so the later one reads what the earlier
// one kept, but a turn that can't be had does not stop the keep. Copies
// that killed keeps left there are removed.
void platform_begin_keep(const char *name, KeepTurn *turn);
// 0 when name may be written where it is, else the system's error: a
// read-only file or folder refuses it.
int platform_in_place_write_error(const char *name);
// Writes the bytes to a file of their own beside the target, with the
// access given, and renames it over the target: 0, or the system's error
// and the target as it was. *made says whether the folder took a new file
// with that access at all: where not, name may still be written in place.
int platform_replace_kept(const KeepTurn *turn, const unsigned char *bytes,
                          int n, const FileAccess &access, bool *made);
// Overwrites the start of name and cuts it to n bytes: 0 or the system's
// error. Never empties it first.
int platform_rewrite_kept(const char *name, const unsigned char *bytes, int n);
// Ends the keep, once what was renamed is on disk.
void platform_end_keep(KeepTurn *turn);

#endif
