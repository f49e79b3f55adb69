// SPDX-License-Identifier: MIT
// What the pack's and the best score's readers say when a file can't be
// read: the files themselves are the platform's (platform/platform.h).
#ifndef ZARN_FILES_H
#define ZARN_FILES_H

#include <cstring>

// The reason platform_regular_file or platform_read_kept gave, in words.
inline const char *regular_file_reason(int err) {
  return err != 0 ? strerror(err) : "not a regular file";
}

#endif
