// SPDX-License-Identifier: MIT
// The kept files' system half on Windows: bytes without line-end
// translation, a rename that replaces, the folder's name in UTF-8 for the
// message box. Windows has neither a folder lock here nor a second thread
// that keeps, and its files keep no group or bits of ours.
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

int file_open_read(const char *path) {
  return _open(path, _O_RDONLY | _O_BINARY);
}

int file_open_write(const char *path) {
  return _open(path, _O_WRONLY | _O_BINARY);
}

int file_open_new(const char *path) {
  return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0664);
}

int file_flush(int fd) { return _commit(fd) != 0 ? errno : 0; }

int file_cut(int fd, int n) { return _chsize(fd, n) != 0 ? errno : 0; }

int file_give_access(int, const FileAccess &, bool *) { return 0; }

int file_rename_over(const char *from, const char *to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  return GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
}

void file_link_target(const char *path, char *out, size_t size) {
  snprintf(out, size, "%s", path);
}

void file_in_current_folder(const char *name, char *out, size_t size) {
  // In UTF-8 for the message box, with Windows' own separator: the ANSI
  // getcwd turns a folder's name in another script into question marks.
  wchar_t wide[MAX_PATH];
  char utf8[3 * MAX_PATH];
  if (_wgetcwd(wide, MAX_PATH) != nullptr &&
      WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr,
                          nullptr) > 0) {
    snprintf(out, size, "%s\\%s", utf8, name);
    return;
  }
  char cwd[MAX_PATH];
  if (_getcwd(cwd, sizeof cwd) != nullptr)
    snprintf(out, size, "%s/%s", cwd, name);
  else
    snprintf(out, size, "%s", name);
}

void file_take_turn(KeepTurn *turn, const char *) {
  turn->folder = -1;
  turn->held = false;
}

void file_end_turn(KeepTurn *) {}

// A process that has ended is all there is to go by.
bool file_turn_lets_clean(const KeepTurn *) { return true; }

long file_process_id() { return static_cast<long>(_getpid()); }

bool file_process_gone(long pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr)
    return GetLastError() == ERROR_INVALID_PARAMETER;
  bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return gone;
}
