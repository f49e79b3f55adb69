// SPDX-License-Identifier: MIT
// The process numbers a keep names its new file by, from the system (see
// files.h); a file of its own because the replay tool under node takes them
// from node instead.
#include "platform/files.h"

#include <cerrno>
#include <signal.h>
#include <unistd.h>

long file_process_id() { return static_cast<long>(getpid()); }

bool file_process_gone(long pid) {
  // EPERM: it runs, for another user.
  return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}
