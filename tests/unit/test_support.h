// Shared set-up for the unit tests: the library without a display, the built
// resource pack, and a game state put back to a known start.
#ifndef ZARN_TEST_SUPPORT_H
#define ZARN_TEST_SUPPORT_H

#include <allegro.h>

// Installs the library headless once, loads the pack once and binds it, and
// gives the game an off-screen buffer. Returns false when the pack is absent.
bool test_load_game_pack();
// A temporary directory made the current one for the life of the object.
class ScratchDir {
public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;
  const char *path() const { return path_; }

private:
  char path_[64];
  char old_[4096];
};

#endif
