// SPDX-License-Identifier: MIT
// The kept files of the desktop and the replay tool, the half both systems
// share: regular files only, never blocking; a replacement written beside
// the file and renamed over it, so that nothing empties the file before its
// new bytes are on disk; and the leftovers of keeps killed before their
// rename. What differs between the systems is asked of files.h.
#include "platform/files.h"
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The name a keep writes before its rename, left behind when it is killed.
const char *const temp_format = "%s.%ld.tmp";

// Opens path for reading only if it is a regular file. What was opened is
// checked, not what the name was. The descriptor, or -1 with *err set.
int open_regular(const char *path, int *err, FileAccess *access) {
  int fd = file_open_read(path);
  if (fd < 0) {
    *err = errno;
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0)
    *err = errno;
  else if (S_ISDIR(st.st_mode))
    *err = EISDIR;
  else if (!S_ISREG(st.st_mode))
    *err = 0;
  else {
    if (access != nullptr) {
      access->mode = static_cast<unsigned>(st.st_mode & 07777);
      access->group = static_cast<long>(st.st_gid);
    }
    return fd;
  }
  close(fd);
  return -1;
}

int read_start(int fd, unsigned char *buf, int size, int *err) {
  int len = 0;
  while (len < size) {
    int n = static_cast<int>(
        read(fd, buf + len, static_cast<unsigned>(size - len)));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      *err = errno;
      return -1;
    }
    if (n == 0)
      break;
    len += n;
  }
  return len;
}

// Writes the bytes at the start of an open file and flushes them to disk;
// 0 or the system's error.
int write_flushed(int fd, const unsigned char *bytes, int n) {
  for (int done = 0; done < n;) {
    int w = static_cast<int>(
        write(fd, bytes + done, static_cast<unsigned>(n - done)));
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      return w < 0 ? errno : ENOSPC;
    done += w;
  }
  return file_flush(fd);
}

// The folder part of a path into out ("." when it names none); returns the
// name within it. Paths here are the game's own names, joined with '/' alone.
const char *folder_of(const char *path, char *out, size_t size) {
  const char *slash = strrchr(path, '/');
  if (slash == nullptr)
    snprintf(out, size, ".");
  else
    snprintf(out, size, "%.*s",
             slash == path ? 1 : static_cast<int>(slash - path), path);
  return slash != nullptr ? slash + 1 : path;
}

// Removes the files that keeps of target killed before their rename left
// beside it, those of processes that have ended. A number taken again by
// another program keeps a leftover until that one ends, which costs a few
// bytes; a running game always has its own, so its file is never taken.
void remove_leftover_copies(const char *target) {
  char folder[KEPT_PATH_MAX];
  const char *base = folder_of(target, folder, sizeof folder);
  size_t len = strlen(base);
  DIR *dir = opendir(folder);
  if (dir == nullptr)
    return;
  while (struct dirent *entry = readdir(dir)) {
    const char *name = entry->d_name;
    if (strncmp(name, base, len) != 0 || name[len] != '.')
      continue;
    long pid = strtol(name + len + 1, nullptr, 10);
    char own[KEPT_PATH_MAX + 32];
    snprintf(own, sizeof own, temp_format, base, pid);
    // Only a name a keep makes, with a number a process can have: kill(0)
    // or kill(-1) would ask about whole groups of processes.
    if (pid <= 0 || pid > INT_MAX || strcmp(own, name) != 0 ||
        !file_process_gone(pid))
      continue;
    char path[2 * KEPT_PATH_MAX];
    snprintf(path, sizeof path, "%s/%s", folder, name);
    unlink(path);
  }
  closedir(dir);
}

} // namespace

int platform_regular_file(const char *path, int *err) {
  int fd = open_regular(path, err, nullptr);
  if (fd < 0)
    return 0;
  close(fd);
  return 1;
}

int platform_read_kept(const char *name, unsigned char *buf, int size, int *err,
                       FileAccess *access) {
  int fd = open_regular(name, err, access);
  if (fd < 0)
    return -1;
  int len = read_start(fd, buf, size, err);
  close(fd);
  return len;
}

void platform_kept_place(const char *name, char *out, int size) {
  file_in_current_folder(name, out, static_cast<size_t>(size));
}

void platform_begin_keep(const char *name, KeepTurn *turn) {
  file_link_target(name, turn->target, sizeof turn->target);
  char folder[KEPT_PATH_MAX];
  folder_of(turn->target, folder, sizeof folder);
  file_take_turn(turn, folder);
  if (file_turn_lets_clean(turn))
    remove_leftover_copies(turn->target);
}

void platform_end_keep(KeepTurn *turn) { file_end_turn(turn); }

int platform_in_place_write_error(const char *name) {
  int fd = file_open_write(name);
  if (fd < 0)
    return errno;
  close(fd);
  return 0;
}

int platform_replace_kept(const KeepTurn *turn, const unsigned char *bytes,
                          int n, const FileAccess &access, bool *made) {
  char tmp[KEPT_PATH_MAX + 32];
  snprintf(tmp, sizeof tmp, temp_format, turn->target, file_process_id());
  // A file of this name is left from a run that was killed while keeping:
  // no running program has this process's number.
  unlink(tmp);
  int fd = file_open_new(tmp);
  *made = fd >= 0;
  if (fd < 0)
    return errno;
  int err = file_give_access(fd, access, made);
  if (err == 0)
    err = write_flushed(fd, bytes, n);
  if (close(fd) != 0 && err == 0)
    err = errno;
  if (err == 0)
    err = file_rename_over(tmp, turn->target);
  if (err != 0)
    unlink(tmp);
  return err;
}

int platform_rewrite_kept(const char *name, const unsigned char *bytes, int n) {
  int fd = file_open_write(name);
  if (fd < 0)
    return errno;
  int err = write_flushed(fd, bytes, n);
  if (err == 0)
    err = file_cut(fd, n);
  if (close(fd) != 0 && err == 0)
    err = errno;
  return err;
}
