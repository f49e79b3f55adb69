// SPDX-License-Identifier: MIT
// The platform entry. On Windows END_OF_MAIN supplies WinMain, which hands
// this main to the library's own entry; elsewhere it expands to nothing.
#include <allegro.h>

#ifdef ALLEGRO_WINDOWS
#include <winalleg.h>
#endif

#include "startup/game_main.h"

#ifdef ALLEGRO_WINDOWS
namespace {

// The game is a folder to unpack anywhere: its pack and best score lie
// beside zarn.exe. A double-click starts it in that folder, but a shell or a
// shortcut may start it elsewhere, so it goes there itself.
void enter_program_folder() {
  wchar_t path[32768];
  DWORD n = GetModuleFileNameW(nullptr, path, 32768);
  if (n == 0 || n >= 32768)
    return;
  while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
    n--;
  if (n == 0)
    return;
  path[n] = L'\0';
  SetCurrentDirectoryW(path);
}

} // namespace
#endif

int main(int argc, char **argv) {
#ifdef ALLEGRO_WINDOWS
  enter_program_folder();
#endif
  return game_main(argc, argv);
}
END_OF_MAIN()
