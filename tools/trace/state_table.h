// SPDX-License-Identifier: MIT
// The game's whole-number state by name, in the order zarn-trace prints it.
// The tool's JSON writer walks it, and the tick benchmark puts these values
// back before each timed tick.
#ifndef ZARN_STATE_TABLE_H
#define ZARN_STATE_TABLE_H

// An entry without an address stands for the record printed in its place.
struct StateInt {
  const char *name;
  int *value;
};

extern const StateInt state_ints[];
extern const int state_int_count;

#endif
