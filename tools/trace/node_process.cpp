// SPDX-License-Identifier: MIT
// zarn-trace under node (tools/web.sh): the process numbers a keep of the
// best score names its new file by, and looks for among its leftovers (see
// platform/files.h), from the real system as the native tool has them.
// Emscripten's C library gives every program the number 42 and knows no
// other process.
#include "platform/files.h"

#include <emscripten.h>

namespace {

EM_JS(int, node_pid, (), { return process.pid; });
// Whether a signal 0 finds no such process; one of another user runs.
EM_JS(int, node_process_gone, (int pid), {
  try {
    process.kill(pid, 0);
    return 0;
  } catch (e) {
    return e.code == 'ESRCH' ? 1 : 0;
  }
});

} // namespace

long file_process_id() { return node_pid(); }

bool file_process_gone(long pid) {
  return node_process_gone(static_cast<int>(pid)) != 0;
}
