// SPDX-License-Identifier: MIT
#include "startup/files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <mutex>
#include <signal.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>
#endif

// Windows would translate line ends; the pack and the score are bytes.
#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

int open_regular_file(const char *path, int *err, FileAccess *access) {
  int fd = open(path, O_RDONLY | O_BINARY | O_NONBLOCK);
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

const char *regular_file_reason(int err) {
  return err != 0 ? strerror(err) : "not a regular file";
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

namespace {

// The name a save writes before its rename, left behind when it is killed.
const char *const temp_format = "%s.%ld.tmp";

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
#ifdef _WIN32
  return _commit(fd) != 0 ? errno : 0;
#else
  return fsync(fd) != 0 ? errno : 0;
#endif
}

} // namespace

int in_place_write_error(const char *path) {
  int fd = open(path, O_WRONLY | O_BINARY | O_NONBLOCK);
  if (fd < 0)
    return errno;
  close(fd);
  return 0;
}

int replace_file(const char *target, const unsigned char *bytes, int n,
                 const FileAccess &access, bool *made) {
  char tmp[PATH_MAX + 32];
  snprintf(tmp, sizeof tmp, temp_format, target, static_cast<long>(getpid()));
  // A file of this name is left from a run that was killed while saving: no
  // running program has this process's number.
  unlink(tmp);
  int fd = open(tmp, O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0664);
  *made = fd >= 0;
  if (fd < 0)
    return errno;
  int err = 0;
#ifndef _WIN32
  // The umask would take a group's write bit away from a shared file, and
  // the new file would get this player's group where the old one had the
  // group it is shared with. Only what differs is changed: a disk that
  // takes no owners refuses even a change to the same group.
  struct stat st;
  if (fstat(fd, &st) != 0)
    err = errno;
  else if (access.group >= 0 && st.st_gid != static_cast<gid_t>(access.group) &&
           fchown(fd, static_cast<uid_t>(-1),
                  static_cast<gid_t>(access.group)) != 0) {
    err = errno;
    *made = false; // not a member of the file's group: it is written in place
  } else if ((st.st_mode & 07777) != access.mode &&
             fchmod(fd, static_cast<mode_t>(access.mode)) != 0)
    err = errno;
#else
  (void)access;
#endif
  if (err == 0)
    err = write_flushed(fd, bytes, n);
  if (close(fd) != 0 && err == 0)
    err = errno;
  if (err == 0) {
#ifdef _WIN32
    if (!MoveFileExA(tmp, target,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      err = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
#else
    if (rename(tmp, target) != 0)
      err = errno;
#endif
  }
  if (err != 0)
    unlink(tmp);
  return err;
}

int rewrite_in_place(const char *path, const unsigned char *bytes, int n) {
  int fd = open(path, O_WRONLY | O_BINARY | O_NONBLOCK);
  if (fd < 0)
    return errno;
  int err = write_flushed(fd, bytes, n);
#ifdef _WIN32
  if (err == 0 && _chsize(fd, n) != 0)
#else
  if (err == 0 && ftruncate(fd, n) != 0)
#endif
    err = errno;
  if (close(fd) != 0 && err == 0)
    err = errno;
  return err;
}

const char *link_target(const char *path, char *out, size_t size) {
  snprintf(out, size, "%s", path);
#ifndef _WIN32
  // Each link is followed by hand: realpath fails where the file a link
  // names is not there yet, and the save would then replace the link.
  // SYMLOOP_MAX is at least 8; Linux follows 40.
  for (int hops = 0; hops < 40; hops++) {
    char to[PATH_MAX];
    ssize_t n = readlink(out, to, sizeof to - 1);
    if (n < 0)
      return out;
    to[n] = '\0';
    // A relative link counts from the folder that holds the link.
    const char *slash = strrchr(out, '/');
    int folder = to[0] == '/' || slash == nullptr
                     ? 0
                     : static_cast<int>(slash - out + 1);
    char next[PATH_MAX];
    if (snprintf(next, sizeof next, "%.*s%s", folder, out, to) >=
            static_cast<int>(sizeof next) ||
        snprintf(out, size, "%s", next) >= static_cast<int>(size))
      break;
  }
  // A loop of links: the file can't be read either, so no save reaches the
  // replacement. (A path too long for here: the link itself is replaced.)
  snprintf(out, size, "%s", path);
#endif
  return out;
}

void path_in_current_folder(const char *name, char *out, size_t size) {
#ifdef _WIN32
  // In UTF-8 for the message box, with Windows' own separator: the ANSI
  // getcwd turns a folder's name in another script into question marks.
  wchar_t wide[PATH_MAX];
  char utf8[3 * PATH_MAX];
  if (_wgetcwd(wide, PATH_MAX) != nullptr &&
      WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr,
                          nullptr) > 0) {
    snprintf(out, size, "%s\\%s", utf8, name);
    return;
  }
#endif
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) != nullptr)
    snprintf(out, size, "%s/%s", cwd, name);
  else
    snprintf(out, size, "%s", name);
}

namespace {

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

#ifndef _WIN32
// Whether the folder changed since last looked at: a file made or renamed
// there, or the score's file written in place. A save going on shows so.
bool folder_changed(int folder, const char *file, struct stat last[2]) {
  // What can't be looked at stays zeros: a missing file is a state too.
  struct stat now[2];
  memset(now, 0, sizeof now);
  fstat(folder, &now[0]);
  stat(file, &now[1]);
  bool same = now[0].st_mtim.tv_sec == last[0].st_mtim.tv_sec &&
              now[0].st_mtim.tv_nsec == last[0].st_mtim.tv_nsec &&
              now[1].st_ino == last[1].st_ino &&
              now[1].st_ctim.tv_sec == last[1].st_ctim.tv_sec &&
              now[1].st_ctim.tv_nsec == last[1].st_ctim.tv_nsec;
  memcpy(last, now, sizeof now);
  return !same;
}
#endif

// Whether no process has the number any more. A number taken again by
// another program keeps a leftover until that one ends, which costs a few
// bytes; a running game always has its own, so its file is never taken.
bool process_gone(long pid) {
#ifdef _WIN32
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr)
    return GetLastError() == ERROR_INVALID_PARAMETER;
  bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return gone;
#else
  // EPERM: it runs, for another user.
  return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#endif
}

#ifndef _WIN32
// A save at the display's loss runs on Xlib's thread while the main thread
// may be in its own, and both write the one file named by this process's
// number. The folder's lock parts them too, but not where it can't be taken
// or its wait gives up: they take turns here first.
std::mutex saves_in_this_process;
#endif

} // namespace

FolderTurn begin_folder_turn(const char *file) {
  FolderTurn turn = {-1, false};
#ifndef _WIN32
  saves_in_this_process.lock();
  char folder[PATH_MAX];
  folder_of(file, folder, sizeof folder);
  turn.folder = open(folder, O_RDONLY);
  // A save on a slow or a network disk takes a second or more (two flushes
  // to disk), and ten games quitting together wait for each other, so the
  // wait goes on as long as the folder keeps changing. Five seconds in which
  // nothing changed there mean that the game holding the turn has been
  // stopped or hangs; a minute is the end in any case.
  const int pause_ms = 10, still_limit_ms = 5000, wait_limit_ms = 60000;
  struct stat last[2] = {};
  if (turn.folder >= 0)
    folder_changed(turn.folder, file, last);
  int waited_ms = 0, still_ms = 0;
  while (turn.folder >= 0) {
    if (flock(turn.folder, LOCK_EX | LOCK_NB) == 0) {
      turn.held = true;
      break;
    }
    if (errno != EWOULDBLOCK || waited_ms >= wait_limit_ms ||
        still_ms >= still_limit_ms)
      break;
    struct timespec pause = {0, pause_ms * 1000 * 1000};
    nanosleep(&pause, nullptr);
    waited_ms += pause_ms;
    still_ms =
        folder_changed(turn.folder, file, last) ? 0 : still_ms + pause_ms;
  }
#else
  (void)file;
#endif
  return turn;
}

void end_folder_turn(FolderTurn turn) {
#ifndef _WIN32
  if (turn.folder >= 0) {
    fsync(turn.folder); // the rename itself, on disk
    close(turn.folder); // and the lock with it
  }
  saves_in_this_process.unlock();
#else
  (void)turn;
#endif
}

void remove_leftover_copies(const char *target, FolderTurn turn) {
#ifndef _WIN32
  if (!turn.held)
    return;
#else
  (void)turn; // a process that has ended is all there is to go by
#endif
  char folder[PATH_MAX];
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
    char own[PATH_MAX + 32];
    snprintf(own, sizeof own, temp_format, base, pid);
    // Only a name a save makes, with a number a process can have: kill(0)
    // or kill(-1) would ask about whole groups of processes.
    if (pid <= 0 || pid > INT_MAX || strcmp(own, name) != 0 ||
        !process_gone(pid))
      continue;
    char path[2 * PATH_MAX];
    snprintf(path, sizeof path, "%s/%s", folder, name);
    unlink(path);
  }
  closedir(dir);
}
