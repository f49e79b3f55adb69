// SPDX-License-Identifier: MIT
#ifndef ZARN_REGULAR_FILE_H
#define ZARN_REGULAR_FILE_H

// Opens a file for reading only if it is a regular one, without ever
// blocking: a pipe with no writer under the pack's or the best score's name
// would otherwise hold the game forever. What was opened is checked, not
// what the name was. Returns the descriptor, or -1 with *err set to the
// system's error (EISDIR for a directory) or to 0 for anything else that is
// not a regular file. *mode, when given, gets the file's permission bits.
int open_regular_file(const char *path, int *err, unsigned *mode = nullptr);

// The reason open_regular_file gave, in words.
const char *regular_file_reason(int err);

#endif
