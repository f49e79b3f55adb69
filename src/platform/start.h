// SPDX-License-Identifier: MIT
// What the desktop and the page do alike as the library's system starts.
#ifndef ZARN_START_H
#define ZARN_START_H

// Called first, before install_allegro.
void start_system();

#endif
