// SPDX-License-Identifier: MIT
// A save's way round a folder that takes no new file, through the stand-in's
// kept score: where the replacement was refused before a new file existed
// (EACCES: the folder is read-only; EPERM: the player is not in the file's
// group, which the suite's games, run as root, never meet), the file is
// overwritten in place; where the file itself may not be written, or the
// new file was made and its writing failed, the score is lost and said so.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "startup/hiscore.h"
#include "test_support.h"

TEST(Hiscore, RewrittenInPlaceOnlyWhereTheFolderRefusedTheNewFile) {
  const unsigned char seven[] = {7, 0, 0, 0}, five_hundred[] = {0xF4, 1, 0, 0};
  const struct {
    const char *what;
    int in_place_error, replace_error;
    bool made;
    bool rewritten;
  } cases[] = {
      {"not in the file's group", 0, EPERM, false, true},
      {"a read-only folder", 0, EACCES, false, true},
      {"a disk that fills once the new file is made", 0, ENOSPC, true, false},
      {"a read-only file", EACCES, 0, true, false},
  };
  for (const auto &c : cases) {
    test_kept = TestKept();
    memcpy(test_kept.bytes, seven, sizeof seven);
    test_kept.len = 4;
    char why[HISCORE_WHY_SIZE];
    ASSERT_EQ(load_hiscore(why, sizeof why), 7) << c.what;
    test_kept.in_place_error = c.in_place_error;
    test_kept.replace_error = c.replace_error;
    test_kept.replace_made = c.made;
    int saved = save_hiscore(500, why, sizeof why);
    EXPECT_EQ(test_kept.rewrites, c.rewritten ? 1 : 0) << c.what;
    if (c.rewritten) {
      EXPECT_EQ(saved, 0) << c.what;
      EXPECT_EQ(test_kept.len, 4) << c.what;
      EXPECT_EQ(memcmp(test_kept.bytes, five_hundred, 4), 0) << c.what;
    } else {
      EXPECT_EQ(saved, -1) << c.what;
      EXPECT_NE(strstr(why, "The best score 500 could not be saved\n"), nullptr)
          << c.what << ": " << why;
      EXPECT_EQ(memcmp(test_kept.bytes, seven, 4), 0) << c.what;
    }
  }
}
