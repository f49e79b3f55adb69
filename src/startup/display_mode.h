// SPDX-License-Identifier: MIT
#ifndef ZARN_DISPLAY_MODE_H
#define ZARN_DISPLAY_MODE_H

// Sets the 320x240 mode, asking for full screen or window when a window can
// be had. Returns 0 when a mode is set, non-zero when none could be; a quit
// request ends the question with the mode as it is.
int choose_display_mode();

#endif
