/* SPDX-License-Identifier: MIT */
/* A stand-in game pad for the tests, preloaded into the game: the library's
 * Linux joystick driver opens the FIFO its configuration names as a js
 * device and asks it three questions, answered here as Linux's xpad driver
 * answers for a pad (8 axes: the left stick first, the d-pad's hat last; 11
 * buttons); the test writes the pad's js_event records into the FIFO. Every
 * other request goes on to the system. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <linux/joystick.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

int ioctl(int fd, unsigned long request, ...) {
  static int (*next)(int, unsigned long, ...);
  va_list args;
  va_start(args, request);
  void *arg = va_arg(args, void *);
  va_end(args);
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) {
    switch (request) {
    case JSIOCGVERSION:
      *(unsigned *)arg = JS_VERSION;
      return 0;
    case JSIOCGAXES:
      *(unsigned char *)arg = 8;
      return 0;
    case JSIOCGBUTTONS:
      *(unsigned char *)arg = 11;
      return 0;
    }
  }
  if (!next)
    next = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
  return next(fd, request, arg);
}
