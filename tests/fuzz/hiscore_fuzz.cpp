// SPDX-License-Identifier: MIT
// Any bytes as the high-score file: the reader must take the first four
// bytes after undoing the CR LF translation (or 100 when there are fewer),
// and whatever it read must come back unchanged through a save.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "startup/hiscore.h"

namespace {

void put_file(const uint8_t *data, size_t size) {
  FILE *f = fopen("hiscore.zrn", "wb");
  if (f == nullptr || fwrite(data, 1, size, f) != size || fclose(f) != 0)
    abort();
}

// The rule, stated the simple way: CR before LF is dropped.
int32_t expected(const uint8_t *data, size_t size) {
  uint8_t got[4];
  size_t n = 0;
  for (size_t i = 0; i < size && n < 4; i++) {
    if (data[i] == 0x0D && i + 1 < size && data[i + 1] == 0x0A)
      continue;
    got[n++] = data[i];
  }
  if (n < 4)
    return 100;
  return static_cast<int32_t>(static_cast<uint32_t>(got[0]) |
                              static_cast<uint32_t>(got[1]) << 8 |
                              static_cast<uint32_t>(got[2]) << 16 |
                              static_cast<uint32_t>(got[3]) << 24);
}

} // namespace

// A save here never has a reason to fail.
void platform_message(const char *) { abort(); }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // Every save is flushed to disk: in memory that costs nothing.
  char dir[] = "/dev/shm/zarn-fuzz-hiscore-XXXXXX";
  if (mkdtemp(dir) == nullptr || chdir(dir) != 0)
    abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  put_file(data, size);
  int value = load_hiscore();
  if (value != expected(data, size))
    abort();
  save_hiscore(value);
  if (load_hiscore() != value)
    abort();
  return 0;
}
