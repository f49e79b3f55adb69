// SPDX-License-Identifier: MIT
#ifndef ZARN_PACK_H
#define ZARN_PACK_H

#include <allegro.h>

// Loads the resource pack and checks that every object the game uses is
// there with the right type, so a wrong pack fails here and not mid-game.
// On failure returns null with the reason in why.
DATAFILE *load_pack(const char *path, char *why, int why_size);
// Points the resource globals at their pack objects.
void bind_pack();

#endif
