// SPDX-License-Identifier: MIT
// Any bytes as the high-score file, and as a value. The file reader must
// give what the decoder gives (100 when fewer than four bytes remain), a
// save must keep it, and the codec must hold its rules: every value comes
// back unchanged, each byte 0x0A costs one 0x0D more, and bytes without a
// 0x0D are the value's four bytes, least significant first.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "startup/hiscore.h"
#include "startup/hiscore_bytes.h"

namespace {

void put_file(const uint8_t *data, size_t size) {
  FILE *f = fopen("hiscore.zrn", "wb");
  if (f == nullptr || fwrite(data, 1, size, f) != size || fclose(f) != 0)
    abort();
}

void check_codec(int32_t v) {
  unsigned char out[HISCORE_MAX_BYTES];
  int n = encode_hiscore(v, out);
  int line_feeds = 0;
  for (int i = 0; i < 4; i++)
    line_feeds +=
        static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)) == 0x0A;
  int back = 0;
  if (n != 4 + line_feeds || decode_hiscore(out, n, &back) != 1 || back != v)
    abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // Every save is flushed to disk: in memory that costs nothing.
  char dir[] = "/dev/shm/zarn-fuzz-hiscore-XXXXXX";
  if (mkdtemp(dir) == nullptr || chdir(dir) != 0)
    abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int decoded = 100;
  int len = size > 64 ? 64 : static_cast<int>(size);
  int whole = decode_hiscore(data, len, &decoded);
  if (size >= 4 && memchr(data, 0x0D, 4) == nullptr) {
    int32_t plain =
        static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                             static_cast<uint32_t>(data[3]) << 24);
    if (!whole || decoded != plain)
      abort();
  }
  if (whole)
    check_codec(decoded);

  put_file(data, size);
  char why[HISCORE_WHY_SIZE];
  int value = load_hiscore(why, sizeof why);
  if (value != (whole ? decoded : 100) || why[0] != '\0')
    abort();
  // A save here never has a reason to fail.
  if (save_hiscore(value, why, sizeof why) != 0 ||
      load_hiscore(why, sizeof why) != value)
    abort();
  return 0;
}
