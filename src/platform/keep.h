// SPDX-License-Identifier: MIT
// The records of the door's calls for the files the game keeps
// (platform.h), on their own: the systems' halves of the kept files
// (files.h) take them without the library's header, whose BITMAP is not
// Windows' own.
#ifndef ZARN_KEEP_H
#define ZARN_KEEP_H

// Who may use a kept file: what a replacement keeps of the one it replaces.
struct FileAccess {
  unsigned mode; // the permission bits
  long group;    // the group's number, -1 where there is none to keep
};

// The longest name a keep's target has here (Linux's PATH_MAX).
enum { KEPT_PATH_MAX = 4096 };
// A keep from its beginning to its end.
struct KeepTurn {
  char target[KEPT_PATH_MAX]; // what a replacement renames over
  int folder;                 // the target's folder, open, or -1
  bool held;                  // no other game keeps there until the end
};

#endif
