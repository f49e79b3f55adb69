// SPDX-License-Identifier: MIT
// Start-up: the display-mode prompt's requests.
#include <gtest/gtest.h>

#include "core/game_state.h"
#include "startup/display_mode.h"
#include "test_support.h"

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
