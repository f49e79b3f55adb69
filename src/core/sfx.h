// SPDX-License-Identifier: MIT
#ifndef ZARN_SFX_H
#define ZARN_SFX_H

#include <allegro.h>

// Every sample call of the game: they reach the platform only while sound is
// on, so a game without sound runs the same steps in silence.
void sfx_play(SAMPLE *s, int loop);
void sfx_stop(SAMPLE *s);

#endif
