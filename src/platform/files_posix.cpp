// SPDX-License-Identifier: MIT
// The kept files' system half on Linux, and on node's file system in the
// replay tool: the group and bits a shared file keeps, chains of symbolic
// links, and the folder's lock with its wait.
#include "platform/files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

int file_open_read(const char *path) {
  return open(path, O_RDONLY | O_NONBLOCK);
}

int file_open_write(const char *path) {
  return open(path, O_WRONLY | O_NONBLOCK);
}

int file_open_new(const char *path) {
  return open(path, O_WRONLY | O_CREAT | O_EXCL, 0664);
}

int file_flush(int fd) { return fsync(fd) != 0 ? errno : 0; }

int file_cut(int fd, int n) { return ftruncate(fd, n) != 0 ? errno : 0; }

int file_give_access(int fd, const FileAccess &access, bool *made) {
  // The umask would take a group's write bit away from a shared file, and
  // the new file would get this player's group where the old one had the
  // group it is shared with. Only what differs is changed: a disk that
  // takes no owners refuses even a change to the same group.
  struct stat st;
  if (fstat(fd, &st) != 0)
    return errno;
  if (access.group >= 0 && st.st_gid != static_cast<gid_t>(access.group) &&
      fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(access.group)) !=
          0) {
    *made = false; // not a member of the file's group: it is written in place
    return errno;
  }
  if ((st.st_mode & 07777) != access.mode &&
      fchmod(fd, static_cast<mode_t>(access.mode)) != 0)
    return errno;
  return 0;
}

int file_rename_over(const char *from, const char *to) {
  return rename(from, to) != 0 ? errno : 0;
}

void file_link_target(const char *path, char *out, size_t size) {
  snprintf(out, size, "%s", path);
  // Each link is followed by hand: realpath fails where the file a link
  // names is not there yet, and the keep would then replace the link.
  // SYMLOOP_MAX is at least 8; Linux follows 40.
  for (int hops = 0; hops < 40; hops++) {
    char to[PATH_MAX];
    ssize_t n = readlink(out, to, sizeof to - 1);
    if (n < 0)
      return;
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
  // A loop of links: the file can't be read either, so no keep reaches the
  // replacement. (A path too long for here: the link itself is replaced.)
  snprintf(out, size, "%s", path);
}

void file_in_current_folder(const char *name, char *out, size_t size) {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) != nullptr)
    snprintf(out, size, "%s/%s", cwd, name);
  else
    snprintf(out, size, "%s", name);
}

namespace {

// Whether the folder changed since last looked at: a file made or renamed
// there, or the kept file written in place. A keep going on shows so.
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

// A keep at the display's loss runs on Xlib's thread while the main thread
// may be in its own, and both write the one file named by this process's
// number. The folder's lock parts them too, but not where it can't be taken
// or its wait gives up: they take turns here first.
std::mutex keeps_in_this_process;

} // namespace

void file_take_turn(KeepTurn *turn, const char *folder) {
  keeps_in_this_process.lock();
  turn->held = false;
  turn->folder = open(folder, O_RDONLY);
  // A keep on a slow or a network disk takes a second or more (two flushes
  // to disk), and ten games quitting together wait for each other, so the
  // wait goes on as long as the folder keeps changing. Five seconds in which
  // nothing changed there mean that the game holding the turn has been
  // stopped or hangs; a minute is the end in any case.
  const int pause_ms = 10, still_limit_ms = 5000, wait_limit_ms = 60000;
  struct stat last[2] = {};
  if (turn->folder >= 0)
    folder_changed(turn->folder, turn->target, last);
  int waited_ms = 0, still_ms = 0;
  while (turn->folder >= 0) {
    if (flock(turn->folder, LOCK_EX | LOCK_NB) == 0) {
      turn->held = true;
      break;
    }
    if (errno != EWOULDBLOCK || waited_ms >= wait_limit_ms ||
        still_ms >= still_limit_ms)
      break;
    struct timespec pause = {0, pause_ms * 1000 * 1000};
    nanosleep(&pause, nullptr);
    waited_ms += pause_ms;
    still_ms = folder_changed(turn->folder, turn->target, last)
                   ? 0
                   : still_ms + pause_ms;
  }
}

void file_end_turn(KeepTurn *turn) {
  if (turn->folder >= 0) {
    fsync(turn->folder); // the rename itself, on disk
    close(turn->folder); // and the lock with it
  }
  keeps_in_this_process.unlock();
}

// Only while the lock is held.
bool file_turn_lets_clean(const KeepTurn *turn) { return turn->held; }
