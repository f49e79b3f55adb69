// SPDX-License-Identifier: MIT
#ifndef ZARN_GAME_MAIN_H
#define ZARN_GAME_MAIN_H

// The whole program; returns its exit value.
int game_main(int argc, char **argv);

#endif
