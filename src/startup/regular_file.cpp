// SPDX-License-Identifier: MIT
#include "startup/regular_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

int open_regular_file(const char *path, int *err, unsigned *mode) {
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
    if (mode != nullptr)
      *mode = static_cast<unsigned>(st.st_mode & 07777);
    return fd;
  }
  close(fd);
  return -1;
}

const char *regular_file_reason(int err) {
  return err != 0 ? strerror(err) : "not a regular file";
}
