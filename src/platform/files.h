// SPDX-License-Identifier: MIT
// What the kept files' shared half (files.cpp) asks of the system under it.
// Each system answers in a file of its own, chosen by the build:
// files_posix.cpp (Linux, and node's file system for the replay tool) or
// files_windows.cpp. No caller holds an #ifdef for them.
#ifndef ZARN_PLATFORM_FILES_H
#define ZARN_PLATFORM_FILES_H

#include "platform/keep.h"

#include <cstddef>

// Opens for reading, or for writing in place, without blocking on a pipe or
// a device, and as bytes (Windows would translate line ends): the
// descriptor, or -1 with errno set.
int file_open_read(const char *path);
int file_open_write(const char *path);
// Makes a new file that must not exist yet, for writing.
int file_open_new(const char *path);
// Sends what was written to the disk; 0 or the system's error.
int file_flush(int fd);
// Cuts an open file to n bytes; 0 or the system's error.
int file_cut(int fd, int n);
// Gives a new file the group and bits of the one it replaces, where the
// system has them; 0 or the system's error, with *made false where the
// folder can't give it the group.
int file_give_access(int fd, const FileAccess &access, bool *made);
// Renames from over to, replacing it; 0 or the system's error.
int file_rename_over(const char *from, const char *to);
// The file a symbolic link at path stands for (see platform_begin_keep),
// written to out; otherwise path itself.
void file_link_target(const char *path, char *out, size_t size);
// The current folder's path joined with name.
void file_in_current_folder(const char *name, char *out, size_t size);

// The folder's turn (see platform_begin_keep): taken on folder, the one that
// holds turn->target, in turn->folder, which the system may leave at -1
// where it has no lock; ended once what was
// renamed there is on disk. Whether leftovers may be removed while the turn
// is as it is: a game on another machine sharing the folder may be keeping
// there unless the lock says it is not.
void file_take_turn(KeepTurn *turn, const char *folder);
void file_end_turn(KeepTurn *turn);
bool file_turn_lets_clean(const KeepTurn *turn);

// This process's number, and whether no process has a number any more: a
// keep names its new file by the first and removes those of ended ones. The
// replay tool under node takes both from node (tools/trace/node_process.cpp),
// since the browser's C library knows one process only.
long file_process_id();
bool file_process_gone(long pid);

#endif
