// SPDX-License-Identifier: MIT
// The best score lives in "hiscore.zrn" as four bytes, least significant
// first, with the line-end translation of a text stream: each byte 0x0A is
// stored as 0x0D 0x0A. Streams here do no such translation, so it is done by
// hand, and files written on either system read the same.
//
// A best score is hard won, so the file is never emptied before its new
// bytes are safely on disk: they go to a file of their own in the same folder
// that is then renamed over the old one. A file that exists but can't be read
// is never replaced by a score that did not come from it, and only regular
// files are touched: a pipe or a device under the name must not hang or eat
// the save.
#include "startup/hiscore.h"

#include "startup/regular_file.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <time.h>
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef PATH_MAX
#define PATH_MAX 260
#endif

// The message box of the platform layer; declared here so that this file
// needs no library header.
void platform_message(const char *text);

namespace {

const char *const hiscore_file = "hiscore.zrn";
const int default_hiscore = 100;

// Whether load_hiscore has run, and what it found: a save compares against
// it when the file can't be read at the end either.
bool hiscore_loaded = false;
int hiscore_at_start = default_hiscore;

enum FileState { FILE_READ, FILE_MISSING, FILE_UNREADABLE };

// The file as it was found on one reading.
struct HiscoreFile {
  FileState state;
  int has_value; // 0 for a missing file or one cut short
  int value;     // 100 when there is no value
  int err;       // why it could not be read: an errno, 0 for "not a file"
  mode_t mode;   // its permission bits, when read
  unsigned char raw[9];
  int len;
};

// 0 when fewer than four bytes remain after the translation.
int decode_hiscore(const unsigned char *raw, int len, int *value) {
  unsigned char bytes[4];
  int got = 0;
  for (int i = 0; i < len && got < 4; i++) {
    if (raw[i] == 0x0D && i + 1 < len && raw[i + 1] == 0x0A)
      i++;
    bytes[got++] = raw[i];
  }
  if (got < 4)
    return 0;
  uint32_t u = static_cast<uint32_t>(bytes[0]) |
               static_cast<uint32_t>(bytes[1]) << 8 |
               static_cast<uint32_t>(bytes[2]) << 16 |
               static_cast<uint32_t>(bytes[3]) << 24;
  *value = static_cast<int32_t>(u);
  return 1;
}

// At most eight bytes.
int encode_hiscore(int value, unsigned char *out) {
  uint32_t u = static_cast<uint32_t>(value);
  int n = 0;
  for (int i = 0; i < 4; i++) {
    unsigned char b = static_cast<unsigned char>(u >> (8 * i));
    if (b == 0x0A)
      out[n++] = 0x0D;
    out[n++] = b;
  }
  return n;
}

// What was opened is checked, not what the name was (see regular_file.h).
void read_hiscore_file(HiscoreFile *f) {
  f->has_value = 0;
  f->value = default_hiscore;
  f->err = 0;
  f->len = 0;
  f->mode = 0664;
  unsigned mode = 0664;
  int fd = open_regular_file(hiscore_file, &f->err, &mode);
  if (fd < 0) {
    f->state = f->err == ENOENT ? FILE_MISSING : FILE_UNREADABLE;
    return;
  }
  f->state = FILE_READ;
  f->mode = static_cast<mode_t>(mode);
  // One byte more than any score takes, so that a longer file is seen.
  while (f->len < static_cast<int>(sizeof f->raw)) {
    int n = static_cast<int>(
        read(fd, f->raw + f->len, sizeof f->raw - static_cast<size_t>(f->len)));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      f->state = FILE_UNREADABLE;
      f->err = errno;
    }
    if (n <= 0)
      break;
    f->len += n;
  }
  close(fd);
  if (f->state == FILE_READ)
    f->has_value = decode_hiscore(f->raw, f->len, &f->value);
}

// Says where the file is: the player never chose the folder the game runs in.
void file_path(char *out, size_t size) {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) != nullptr)
    snprintf(out, size, "%s/%s", cwd, hiscore_file);
  else
    snprintf(out, size, "%s", hiscore_file);
}

void report_lost(int value, const char *why) {
  char path[PATH_MAX + 16];
  char text[PATH_MAX + 256];
  file_path(path, sizeof path);
  snprintf(text, sizeof text,
           "The best score %d could not be saved\nin %s:\n%s\n", value, path,
           why);
  platform_message(text);
}

// Writes the bytes at the start of an open file and flushes them to disk;
// 0 or the system's error.
int write_flushed(int fd, const unsigned char *out, int n) {
  for (int done = 0; done < n;) {
    int w = static_cast<int>(
        write(fd, out + done, static_cast<unsigned>(n - done)));
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

// Writes the bytes to a file of their own and renames it over the old one;
// 0 or the system's error, and the old file is then as it was. *made says
// whether the folder took the new file at all.
int replace_hiscore_file(const char *target, const unsigned char *out, int n,
                         mode_t mode, int *made) {
  char tmp[PATH_MAX + 32];
  snprintf(tmp, sizeof tmp, "%s.%d.tmp", target, static_cast<int>(getpid()));
  // A file of this name is left from a run that was killed while saving: no
  // running game has this process's number.
  unlink(tmp);
  int fd = open(tmp, O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0664);
  *made = fd >= 0;
  if (fd < 0)
    return errno;
  int err = 0;
#ifndef _WIN32
  // The old file's bits, or 664 for a new one: the file may be shared by a
  // group of players, and the umask would take the group's write bit away.
  if (fchmod(fd, mode) != 0)
    err = errno;
#else
  (void)mode;
#endif
  if (err == 0)
    err = write_flushed(fd, out, n);
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

// Under the old rule the file was opened for writing in place: where that
// is refused (a read-only file or folder), the file keeps its content, and
// renaming a new file over it must not get round that.
int writable_in_place() {
  int fd = open(hiscore_file, O_WRONLY | O_BINARY | O_NONBLOCK);
  if (fd < 0)
    return errno;
  close(fd);
  return 0;
}

// Where the folder takes no new file but the file itself may be written, it
// is overwritten in place, which at least never empties it first.
int rewrite_in_place(const unsigned char *out, int n) {
  int fd = open(hiscore_file, O_WRONLY | O_BINARY | O_NONBLOCK);
  if (fd < 0)
    return errno;
  int err = write_flushed(fd, out, n);
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

void save_locked(int value) {
  HiscoreFile now;
  read_hiscore_file(&now);
  if (now.state == FILE_UNREADABLE) {
    // Its score is unknown, so nothing may replace it.
    if (value > hiscore_at_start)
      report_lost(value, regular_file_reason(now.err));
    return;
  }
  // Another game in the same folder may have saved a better score since.
  int best = value;
  if (now.has_value && now.value > best)
    best = now.value;
  unsigned char out[8];
  int n = encode_hiscore(best, out);
  if (now.state == FILE_READ && now.len == n &&
      memcmp(now.raw, out, static_cast<size_t>(n)) == 0)
    return;
  int stored = now.has_value ? now.value : default_hiscore;
  const char *target = hiscore_file;
#ifndef _WIN32
  // A player who linked the file elsewhere (to share it between two copies
  // of the game) keeps the link: the file it points at is replaced.
  char linked[PATH_MAX];
  struct stat st;
  if (lstat(hiscore_file, &st) == 0 && S_ISLNK(st.st_mode) &&
      realpath(hiscore_file, linked) != nullptr)
    target = linked;
#endif
  int err = now.state == FILE_READ ? writable_in_place() : 0;
  int made = 1;
  if (err == 0)
    err = replace_hiscore_file(target, out, n, now.mode, &made);
  if (!made && now.state == FILE_READ && (err == EACCES || err == EPERM))
    err = rewrite_in_place(out, n);
  if (err != 0 && best > stored)
    report_lost(best, strerror(err));
}

} // namespace

int load_hiscore() {
  HiscoreFile f;
  read_hiscore_file(&f);
  if (f.state == FILE_UNREADABLE) {
    char path[PATH_MAX + 16];
    file_path(path, sizeof path);
    fprintf(stderr,
            "zarn: cannot read the best score in %s: %s; the file is left as "
            "it is\n",
            path, regular_file_reason(f.err));
  }
  hiscore_loaded = true;
  hiscore_at_start = f.value;
  return f.value;
}

void save_hiscore(int value) {
  if (!hiscore_loaded)
    return;
#ifdef _WIN32
  save_locked(value);
#else
  // Two games quitting together in one folder take turns, so that the later
  // one sees what the earlier one saved. A folder that can't be locked, or a
  // lock held on for seconds, does not stop the save.
  int dir = open(".", O_RDONLY);
  for (int tries = 0; dir >= 0 && tries < 200; tries++) {
    if (flock(dir, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
      break;
    struct timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  save_locked(value);
  if (dir >= 0) {
    fsync(dir); // the rename itself, on disk
    close(dir); // and the lock with it
  }
#endif
}

void save_hiscore_if_raised(int value) {
  if (value > hiscore_at_start)
    save_hiscore(value);
}
