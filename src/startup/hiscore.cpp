// SPDX-License-Identifier: MIT
// A best score is hard won, so the file is never emptied before its new
// bytes are safely on disk, a file that exists but can't be read is never
// replaced by a score that did not come from it, and only regular files are
// touched: a pipe or a device under the name must not hang or eat the save.
#include "startup/hiscore.h"

#include "platform/platform.h"
#include "startup/files.h"
#include "startup/hiscore_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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
  int has_value;     // 0 for a missing file or one cut short
  int value;         // 100 when there is no value
  int err;           // why it could not be read: an errno, 0 for "not a file"
  FileAccess access; // who may use it, when read
  // One byte more than any score takes, so that a longer file is seen.
  unsigned char raw[HISCORE_MAX_BYTES + 1];
  int len;
};

void read_hiscore_file(HiscoreFile *f) {
  f->has_value = 0;
  f->value = default_hiscore;
  f->err = 0;
  f->len = 0;
  f->access = {0664, -1};
  f->len =
      platform_read_kept(hiscore_file, f->raw, static_cast<int>(sizeof f->raw),
                         &f->err, &f->access);
  if (f->len < 0) {
    f->state = f->err == ENOENT ? FILE_MISSING : FILE_UNREADABLE;
    f->len = 0;
    return;
  }
  f->state = FILE_READ;
  f->has_value = decode_hiscore(f->raw, f->len, &f->value);
}

// Where the file is kept, for a message.
struct ShownPath {
  char text[KEPT_PATH_MAX + 16];
};

ShownPath shown_path() {
  ShownPath path;
  platform_kept_place(hiscore_file, path.text, sizeof path.text);
  return path;
}

int say_lost(int value, const char *reason, char *why, int why_size) {
  snprintf(why, static_cast<size_t>(why_size),
           "The best score %d could not be saved\nin %s:\n%s\n", value,
           shown_path().text, reason);
  return -1;
}

// Reads the file again and stores the larger score in the keep's target,
// the file itself or the one it links to: another game in the same folder
// may have saved a better one since this one started.
int save_merged(int value, const KeepTurn *turn, char *why, int why_size) {
  HiscoreFile now;
  read_hiscore_file(&now);
  if (now.state == FILE_UNREADABLE) {
    // Its score is unknown, so nothing may replace it.
    if (value > hiscore_at_start)
      return say_lost(value, regular_file_reason(now.err), why, why_size);
    return 0;
  }
  int best = value;
  if (now.has_value && now.value > best)
    best = now.value;
  unsigned char out[HISCORE_MAX_BYTES];
  int n = encode_hiscore(best, out);
  if (now.state == FILE_READ && now.len == n &&
      memcmp(now.raw, out, static_cast<size_t>(n)) == 0)
    return 0;
  // Under the old rule the file was opened for writing in place: where that
  // is refused (a read-only file or folder), the file keeps its content, and
  // renaming a new file over it must not get round that.
  int err =
      now.state == FILE_READ ? platform_in_place_write_error(hiscore_file) : 0;
  bool made = true;
  if (err == 0)
    err = platform_replace_kept(turn, out, n, now.access, &made);
  // Where the folder takes no new file, or none in the file's group, but
  // the file itself may be written, it is overwritten in place, which at
  // least never empties it first.
  if (!made && now.state == FILE_READ && (err == EACCES || err == EPERM))
    err = platform_rewrite_kept(hiscore_file, out, n);
  if (err != 0 && best > now.value)
    return say_lost(best, strerror(err), why, why_size);
  return 0;
}

} // namespace

int load_hiscore(char *why, int why_size) {
  HiscoreFile f;
  read_hiscore_file(&f);
  why[0] = '\0';
  if (f.state == FILE_UNREADABLE)
    snprintf(why, static_cast<size_t>(why_size),
             "cannot read the best score in %s: %s; the file is left as it is",
             shown_path().text, regular_file_reason(f.err));
  hiscore_loaded = true;
  hiscore_at_start = f.value;
  return f.value;
}

int save_hiscore(int value, char *why, int why_size) {
  if (!hiscore_loaded)
    return 0;
  // A player who linked the file elsewhere keeps the link, and games take
  // turns, so that the later one sees what the earlier one saved.
  KeepTurn turn;
  platform_begin_keep(hiscore_file, &turn);
  int result = save_merged(value, &turn, why, why_size);
  platform_end_keep(&turn);
  return result;
}

int save_hiscore_if_raised(int value, char *why, int why_size) {
  if (value > hiscore_at_start)
    return save_hiscore(value, why, why_size);
  return 0;
}
