// SPDX-License-Identifier: MIT
// What the browser's platform files tell each other. The program runs in a
// page: the library's portable core with no drivers of its own, and the
// page's JavaScript (packaging/web/page.js and its neighbours, reached as
// Page) for the display, the keys, the clock, the sound's way out and the
// storage. The game sees none of it; its door is platform/platform.h.
#ifndef ZARN_WEB_H
#define ZARN_WEB_H

#include "platform/platform.h"
#include "platform/timing.h"

// sound.cpp: offers the library the page's sound driver, where the browser
// has Web Audio; called once the library's system is up, before the game
// installs its sound.
void offer_page_sound();
// sound.cpp: mixes what the page's sound queue needs to stay ahead of what
// is heard; called on every pass.
void mix_ahead();

#endif
