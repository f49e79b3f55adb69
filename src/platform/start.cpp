// SPDX-License-Identifier: MIT
// The start the desktop and the page share: the measurements, the library's
// way with text, and the clock seed.
#include "platform/start.h"

#include "platform/platform.h"
#include "platform/timing.h"

#include <cstdlib>
#include <ctime>

void start_system() {
  timing_start();
  // Our texts and font are plain 8-bit characters.
  set_uformat(U_ASCII);
}

void platform_seed_random() { srand(static_cast<unsigned>(time(nullptr))); }
