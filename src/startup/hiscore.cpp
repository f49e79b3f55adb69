// The best score lives in "hiscore.zrn" as four bytes, least significant
// first, with the line-end translation of a text stream: each byte 0x0A is
// stored as 0x0D 0x0A. Streams here do no such translation, so it is done by
// hand, and files written on either system read the same.
#include "startup/hiscore.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace {

const char *const hiscore_file = "hiscore.zrn";
const int default_hiscore = 100;

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

} // namespace

int load_hiscore() {
  int fd = open(hiscore_file, O_RDONLY | O_BINARY);
  if (fd < 0)
    return default_hiscore;
  // Four translated bytes take at most eight on disk.
  unsigned char raw[8];
  int len = 0;
  while (len < 8) {
    ssize_t n = read(fd, raw + len, static_cast<size_t>(8 - len));
    if (n <= 0)
      break;
    len += static_cast<int>(n);
  }
  close(fd);
  // A file cut short (or a directory in its place) holds no score at all:
  // take the same value as for a missing file rather than a made-up one.
  int value;
  if (!decode_hiscore(raw, len, &value))
    return default_hiscore;
  return value;
}

void save_hiscore(int value) {
  struct stat st;
  bool existed = stat(hiscore_file, &st) == 0;
  int fd = open(hiscore_file, O_WRONLY | O_CREAT | O_TRUNC | O_BINARY, 0664);
  if (fd < 0)
    return;
#ifndef _WIN32
  // The file is meant to be shared by a group of players; the umask would
  // take the group's write bit away.
  if (!existed)
    fchmod(fd, 0664);
#else
  (void)existed;
#endif
  unsigned char out[8];
  int n = encode_hiscore(value, out);
  ssize_t done = write(fd, out, static_cast<size_t>(n));
  (void)done;
  close(fd);
}
