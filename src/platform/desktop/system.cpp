// SPDX-License-Identifier: MIT
// The library's system on the real machine: its start and end, the keyboard
// and timer, the message box, and the ways the program is asked to end from
// outside the game: the close button, a signal, the display going away.
#include "platform/desktop/desktop.h"
#include "platform/start.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#ifdef ALLEGRO_WINDOWS
#include <string>
#include <winalleg.h>
#endif

namespace {

// What the player or the system asked for: nothing yet, the close button,
// or the number of the first signal that asked the program to end.
enum { QUIT_NONE = -1, QUIT_CLOSE = 0 };
std::atomic<int> quit_request{QUIT_NONE};
std::atomic<int> signals_seen{0};
std::atomic<long long> first_signal_ms{0};

// The monotonic clock in milliseconds, read in a way a signal handler may.
long long signal_time_ms() {
#ifdef ALLEGRO_UNIX
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
#else
  return clock_ns() / 1000000;
#endif
}

void on_signal(int n) {
  // Closing a terminal sends two signals (the shell's, then the kernel's
  // 2 ms later), and a session's end sends SIGTERM and then SIGHUP: a repeat
  // while the program ends must not cut its save short. A program that no
  // longer answers still ends: at a third signal, or at one more once a few
  // seconds have passed since the first.
  long long now = signal_time_ms();
  // The next signal may reach another of the program's threads while this
  // one is still here: the first time is set before the signal is counted,
  // so a repeat never measures from a time not yet stored, and an end names
  // a signal even before the first one's number is.
  long long unset = 0;
  first_signal_ms.compare_exchange_strong(unset, now);
  int seen = signals_seen.fetch_add(1);
  if (seen == 0) {
    quit_request.store(n);
    return;
  }
  if (seen >= 2 || now - first_signal_ms.load() >= 3000) {
    int first = quit_request.load();
    std::_Exit(128 + (first > 0 ? first : n));
  }
}

#ifdef ALLEGRO_UNIX
// The signals that end the program, and those the library's start takes
// over to shut itself down inside the handler.
const int end_signals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
const int fault_signals[] = {SIGABRT, SIGFPE, SIGILL, SIGSEGV};
struct sigaction inherited[NSIG];

void note_inherited_signals() {
  for (int s : end_signals)
    sigaction(s, nullptr, &inherited[s]);
  for (int s : fault_signals)
    sigaction(s, nullptr, &inherited[s]);
}

bool inherited_ignored(int s) { return inherited[s].sa_handler == SIG_IGN; }
#endif

void catch_end_signals() {
#ifdef ALLEGRO_UNIX
  // A fault, or an abort in the library's own allocator (low memory makes
  // its pack loader free twice), ends the program at once as it would have:
  // the library's handler shuts the library down inside the handler, where
  // the allocator's lock it then waits for may be held, and hangs.
  for (int s : fault_signals)
    sigaction(s, &inherited[s], nullptr);
  // On the thread that takes one, the end signals wait for each other's
  // handler; interrupted calls go on, as signal() had them do. A signal the
  // program was started with ignored (a script's `zarn &`, nohup) stays
  // ignored: whoever started it said that signal is not for the game.
  struct sigaction action = {};
  action.sa_handler = on_signal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int s : end_signals)
    sigaddset(&action.sa_mask, s);
  for (int s : end_signals)
    sigaction(s, inherited_ignored(s) ? &inherited[s] : &action, nullptr);
#else
  signal(SIGTERM, on_signal);
  signal(SIGINT, on_signal);
#ifdef SIGHUP
  signal(SIGHUP, on_signal);
#endif
#endif
}

} // namespace

void request_close() {
  int none = QUIT_NONE;
  quit_request.compare_exchange_strong(none, QUIT_CLOSE);
}

bool platform_quit_requested() { return quit_request.load() != QUIT_NONE; }

int platform_quit_exit_value() {
  int n = quit_request.load();
  return n > 0 ? 128 + n : 0;
}

#ifndef ALLEGRO_WITH_XWINDOWS
// Only an X display goes away under a running program.
void platform_on_display_lost(void (*)()) {}
#endif

int platform_install_system(char *why, int why_size) {
#ifdef ALLEGRO_UNIX
  // Output to a pipe whose reader has gone (`zarn 2>&1 | head -c0`) is
  // lost, and must not end the game before it saves, nor change its exit
  // value.
  signal(SIGPIPE, SIG_IGN);
  note_inherited_signals();
#endif
  start_system();
#ifdef ALLEGRO_WITH_XWINDOWS
  // The keyboard driver opens an input method, and Xlib's reads the locale's
  // whole table of composed characters for it (half a megabyte for every
  // UTF-8 locale, a byte at a time): 15 ms of every start, for a game that
  // reads keys, never text.
  setenv("XCOMPOSEFILE", "/dev/null", 1);
#endif
  errno = 0;
  if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) == 0) {
    // In place of the library's own handlers, which shut the library down
    // under the game's feet and, for a signal that was ignored, leave it
    // waiting for a tick for ever.
    catch_end_signals();
#ifdef ALLEGRO_WITH_XWINDOWS
    watch_x_errors();
#endif
    return 0;
  }
#ifdef ALLEGRO_UNIX
  // The library's thread is started before the display is opened.
  if (errno == ENOMEM || errno == EAGAIN)
    snprintf(why, static_cast<size_t>(why_size),
             "the library's system could not be started: %s", strerror(errno));
  else
    snprintf(why, static_cast<size_t>(why_size),
             "no display could be opened (is DISPLAY set to a running X "
             "server?)%s%s",
             allegro_error[0] ? ": " : "", allegro_error);
#else
  snprintf(why, static_cast<size_t>(why_size),
           "the system driver could not be installed%s%s",
           allegro_error[0] ? ": " : "", allegro_error);
#endif
  return -1;
}

int platform_install_keyboard_and_timer(char *why, int why_size) {
  // Each starts a thread of its own or takes the display's input: where the
  // system refuses (too little memory for a thread's stack), the game would
  // wait for a key or a tick that never comes.
  const char *failed = install_keyboard() != 0 ? "the keyboard"
                       : install_timer() != 0  ? "the timer"
                                               : nullptr;
  if (failed == nullptr) {
    pads_start();
    return 0;
  }
  snprintf(why, static_cast<size_t>(why_size),
           "%s could not be installed (is the system short of memory?)",
           failed);
  return -1;
}

#ifdef ALLEGRO_WINDOWS
void platform_message(const char *text) {
  // The texts are UTF-8, a folder's name in them in any script: the
  // wide-character box shows them as written, where the library's would
  // take each byte for a character.
  int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], n);
  // Under Wine the library's shut-down after a box over its window could
  // hang for half a minute. The program ends after every message, so the
  // mode is closed first, as the shut-down would close it, and the box
  // stands on its own.
  if (gfx_driver != nullptr)
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
  MessageBoxW(nullptr, wide.c_str(), L"ZARN", MB_OK | MB_SETFOREGROUND);
}
#else
void platform_message(const char *text) { allegro_message("%s", text); }
#endif

void platform_shut_down() { allegro_exit(); }
