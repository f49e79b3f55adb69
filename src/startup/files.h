// SPDX-License-Identifier: MIT
// The file work of the pack and the best score, in one place with the
// differences between the systems: nothing here blocks on a pipe or a
// device, nothing empties a file before its new bytes are on disk.
#ifndef ZARN_FILES_H
#define ZARN_FILES_H

#include <climits>
#include <cstddef>

// Where the system's headers give no bound on a path (Windows' own is this).
#ifndef PATH_MAX
#define PATH_MAX 260
#endif

// Who may use a file: what a replacement keeps of the file it replaces.
struct FileAccess {
  unsigned mode; // the permission bits
  long group;    // the group's number, -1 where there is none to keep
};

// Opens a file for reading only if it is a regular one, without ever
// blocking: a pipe with no writer under the pack's or the best score's name
// would otherwise hold the game forever. What was opened is checked, not
// what the name was. Returns the descriptor, or -1 with *err set to the
// system's error (EISDIR for a directory) or to 0 for anything else that is
// not a regular file. *access, when given, gets the file's.
int open_regular_file(const char *path, int *err, FileAccess *access = nullptr);

// The reason open_regular_file gave, in words.
const char *regular_file_reason(int err);

// Reads up to size bytes from the start of an open file into buf; the count,
// or -1 with *err set.
int read_start(int fd, unsigned char *buf, int size, int *err);

// 0 when the file may be opened for writing where it is, else the system's
// error: a read-only file or folder refuses it.
int in_place_write_error(const char *path);

// Writes the bytes to a file of their own in the same folder, with the
// access given, and renames it over target: 0, or the system's error and
// target as it was. *made says whether the folder took a new file with that
// access at all: where not, the old file may still be written in place.
int replace_file(const char *target, const unsigned char *bytes, int n,
                 const FileAccess &access, bool *made);

// Overwrites the start of the file and cuts it to n bytes: 0 or the system's
// error. Never empties the file first.
int rewrite_in_place(const char *path, const unsigned char *bytes, int n);

// The file a symbolic link at path stands for, through any chain of links,
// whether or not it exists yet, written to out; otherwise path itself.
// Always returns a usable name.
const char *link_target(const char *path, char *out, size_t size);

// The current folder's path joined with name, for messages.
void path_in_current_folder(const char *name, char *out, size_t size);

// A save's turn in the folder that holds its file.
struct FolderTurn {
  int folder; // the folder, open, or -1
  bool held;  // no other game saves in the folder until the turn ends
};

// Makes processes that save in the folder holding file take turns. The wait
// lasts while the games ahead keep saving, but a folder that can't be
// locked, or a turn that stays taken while nothing changes in the folder,
// does not stop the caller. The threads of this process always take turns,
// so a thread ends its turn before it begins another. Windows has neither
// lock here, and no second thread that saves.
FolderTurn begin_folder_turn(const char *file);
// Ends the turn, once what was renamed in the folder is on disk.
void end_folder_turn(FolderTurn turn);

// Removes the files that saves of target killed before their rename left
// beside it, those of processes that have ended; only while the turn is
// held where the system has one, since a game on another machine sharing the
// folder may be saving there.
void remove_leftover_copies(const char *target, FolderTurn turn);

#endif
