// SPDX-License-Identifier: MIT
// zarn-trace under node (tools/web.sh): the process's own number and whether
// another process still runs come from the real system, as the native tool
// has them. The best score's save names its temporary file by the number and
// removes those of saves whose process has gone; emscripten's C library
// gives every program the number 42 and knows no other process.
#include <emscripten.h>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

EM_JS(int, node_pid, (), { return process.pid; });
// 0 when the signal went, else the system's error: 1 no such process, 2 not
// allowed (another user's), 3 anything else.
EM_JS(int, node_signal, (int pid, int sig), {
  try {
    process.kill(pid, sig);
    return 0;
  } catch (e) {
    return e.code == 'ESRCH' ? 1 : e.code == 'EPERM' ? 2 : 3;
  }
});

} // namespace

extern "C" pid_t getpid(void) { return node_pid(); }

extern "C" int kill(pid_t pid, int sig) {
  const int errors[] = {0, ESRCH, EPERM, EINVAL};
  int err = node_signal(pid, sig);
  if (err == 0)
    return 0;
  errno = errors[err];
  return -1;
}
