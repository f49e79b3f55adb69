// SPDX-License-Identifier: MIT
// The front end: the title screen with its menu, and the instruction pages.
#ifndef ZARN_FRONT_H
#define ZARN_FRONT_H

// Runs the title menu until the player chooses QUIT (or the program is asked
// to end).
void title_menu();
// One pass of the menu's keys: moves the cursor or sets menu_choice.
int menu_input();
// The four self-running instruction pages, until a key or their end.
void show_instructions();

#endif
