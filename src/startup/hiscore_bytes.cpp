// SPDX-License-Identifier: MIT
#include "startup/hiscore_bytes.h"

#include <cstdint>

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

int encode_hiscore(int value, unsigned char out[HISCORE_MAX_BYTES]) {
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
