/* SPDX-License-Identifier: MIT */
/* The library's driver lists for the browser build: only the "none" system
   driver and no other driver of any kind. The page's own code stands in for
   the display, the timer, the keyboard and the sound card. */
#include "allegro.h"
#include "allegro/internal/aintern.h"

_DRIVER_INFO _system_driver_list[] = {{SYSTEM_NONE, &system_none, TRUE},
                                      {0, NULL, 0}};
_DRIVER_INFO _timer_driver_list[] = {{0, NULL, 0}};
_DRIVER_INFO _keyboard_driver_list[] = {{0, NULL, 0}};
_DRIVER_INFO _mouse_driver_list[] = {{0, NULL, 0}};

BEGIN_GFX_DRIVER_LIST
END_GFX_DRIVER_LIST
BEGIN_DIGI_DRIVER_LIST
END_DIGI_DRIVER_LIST
BEGIN_MIDI_DRIVER_LIST
END_MIDI_DRIVER_LIST
BEGIN_JOYSTICK_DRIVER_LIST
END_JOYSTICK_DRIVER_LIST
