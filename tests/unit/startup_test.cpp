// SPDX-License-Identifier: MIT
// Start-up: the pack check on the fuzz target's damaged packs, and the
// display-mode prompt's requests.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "core/game_state.h"
#include "startup/display_mode.h"
#include "startup/pack.h"
#include "test_support.h"

// The fuzz target's committed packs, stored as the game stores its pack. All
// but the smallest are damaged in a way the library's loader would not
// notice or would not survive, so the check must turn them away, saying why.
TEST(Startup, PackCheckRefusesTheDamagedPacksOfTheFuzzCorpus) {
  ASSERT_TRUE(test_load_game_pack());
  char path[] = "/tmp/zarn-unit-pack-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_NE(fd, -1);
  close(fd);
  for (const char *name :
       {"smallest", "bitmap-of-no-bytes", "bitmap-short-of-its-pixels",
        "font-glyph-past-its-object", "glyphs-of-no-size", "type-ffffffff",
        "font-range-16-bits-deep", "stereo-sample-short-of-its-frames"}) {
    std::ifstream in(std::string(ZARN_PACK_CORPUS "/") + name,
                     std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(bytes.empty()) << name;
    ASSERT_TRUE(
        test_put_pack(path, bytes.data(), static_cast<long>(bytes.size())));
    char why[256] = "";
    DATAFILE *d = load_pack(path, why, sizeof why);
    EXPECT_EQ(d != nullptr, std::string(name) == "smallest") << name;
    EXPECT_EQ(why[0] != '\0', d == nullptr) << name;
    if (d != nullptr)
      unload_datafile(d);
  }
  packfile_password(nullptr);
  unlink(path);
}

// Key 1 asks for full screen once, falling back on the autodetected mode
// only when it fails; key 2 keeps the window the prompt came up in; with no
// window at all there is no question and the autodetected mode stays.
TEST(Startup, DisplayModeRequests) {
  ASSERT_TRUE(test_load_game_pack());
  constexpr GfxRole W = GFX_ROLE_WINDOW, WF = GFX_ROLE_WINDOW_FALLBACK,
                    FS = GFX_ROLE_FULLSCREEN, AUTO = GFX_ROLE_AUTODETECT;
  const struct {
    bool one, two;
    unsigned failing;
    std::vector<GfxRole> asked;
  } cases[] = {
      {true, false, 0, {W, FS}},
      {true, false, 1u << FS, {W, FS, AUTO}},
      {true, false, 1u << W | 1u << FS, {W, WF, FS, AUTO}},
      {false, true, 0, {W}},
      {true, true, 0, {W, FS}}, // both held: full screen, and the end
      {true, false, 1u << W | 1u << WF, {W, WF, AUTO}},
  };
  for (const auto &c : cases) {
    key[KEY_1] = c.one;
    key[KEY_2] = c.two;
    test_failing_modes = c.failing;
    test_mode_requests.clear();
    EXPECT_EQ(choose_display_mode(), 0);
    EXPECT_EQ(test_mode_requests, c.asked) << "case " << &c - cases;
  }
  key[KEY_1] = key[KEY_2] = 0;
  test_failing_modes = ~0u;
}
