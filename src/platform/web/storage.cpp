// SPDX-License-Identifier: MIT
// The files in the page. The pack is one the page wrote into the program's
// memory before the start. The best score is kept in the browser's storage
// under "zarn/" and its file's name, as the file's bytes in lower-case hex,
// read and written by the page (Page.readKept, Page.keep) when the game
// asks: so a keep merges with whatever another page of the game kept a
// moment before. A value that is not whole hex bytes can't be read, as a
// file that can't be read; storage that is full or refused fails the keep,
// and the game says so. Nothing here waits, so there is no turn to take.
#include "platform/web/web.h"

#include <emscripten.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

// The bytes kept under key, up to size of them: their count, -1 when none
// are kept (or the storage is refused), -2 when the value is not hex bytes.
EM_JS(int, page_read_kept, (const char *key, unsigned char *buf, int size),
      { return Page.readKept(UTF8ToString(key), buf, size); });
// 0 when kept, 1 when the storage is full, 2 when it is refused.
EM_JS(int, page_keep, (const char *key, const unsigned char *bytes, int n),
      { return Page.keep(UTF8ToString(key), bytes, n); });

struct StorageKey {
  char text[KEPT_PATH_MAX];
};

StorageKey storage_key(const char *name) {
  StorageKey key;
  snprintf(key.text, sizeof key.text, "zarn/%s", name);
  return key;
}

int keep(const char *name, const unsigned char *bytes, int n) {
  const int errors[] = {0, ENOSPC, EACCES};
  return errors[page_keep(storage_key(name).text, bytes, n)];
}

} // namespace

int platform_regular_file(const char *path, int *err) {
  struct stat st;
  if (stat(path, &st) != 0)
    *err = errno;
  else if (S_ISDIR(st.st_mode))
    *err = EISDIR;
  else
    return 1;
  return 0;
}

int platform_read_kept(const char *name, unsigned char *buf, int size, int *err,
                       FileAccess *) {
  int n = page_read_kept(storage_key(name).text, buf, size);
  if (n < 0)
    *err = n == -1 ? ENOENT : EILSEQ;
  return n < 0 ? -1 : n;
}

void platform_kept_place(const char *name, char *out, int size) {
  snprintf(out, static_cast<size_t>(size), "the browser's storage, as %s",
           storage_key(name).text);
}

void platform_begin_keep(const char *name, KeepTurn *turn) {
  snprintf(turn->target, sizeof turn->target, "%s", name);
  turn->folder = -1;
  turn->held = true;
}

int platform_in_place_write_error(const char *) { return 0; }

int platform_replace_kept(const KeepTurn *turn, const unsigned char *bytes,
                          int n, const FileAccess &, bool *made) {
  *made = true;
  return keep(turn->target, bytes, n);
}

int platform_rewrite_kept(const char *name, const unsigned char *bytes, int n) {
  return keep(name, bytes, n);
}

void platform_end_keep(KeepTurn *) {}
