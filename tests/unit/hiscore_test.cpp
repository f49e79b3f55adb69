// SPDX-License-Identifier: MIT
// A save's way round a folder that takes no new file in the file's group
// (EPERM: the player is not in it), which the suite's games, run as root,
// never meet: the file is overwritten in place, through the stand-in's kept
// score. A replacement refused once the new file was made (a rename over
// another's file in a sticky folder) is not got round so; the failures the
// suite can meet for real are in test_faults.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "startup/hiscore.h"
#include "test_support.h"

TEST(Hiscore, RewrittenInPlaceOnlyWhereTheFolderRefusedTheNewFile) {
  const unsigned char seven[] = {7, 0, 0, 0}, five_hundred[] = {0xF4, 1, 0, 0};
  for (bool made : {false, true}) {
    test_kept = TestKept();
    memcpy(test_kept.bytes, seven, sizeof seven);
    test_kept.len = 4;
    char why[HISCORE_WHY_SIZE];
    ASSERT_EQ(load_hiscore(why, sizeof why), 7);
    test_kept.replace_error = made ? EACCES : EPERM;
    test_kept.replace_made = made;
    EXPECT_EQ(save_hiscore(500, why, sizeof why), made ? -1 : 0) << why;
    EXPECT_EQ(memcmp(test_kept.bytes, made ? seven : five_hundred, 4), 0);
    EXPECT_EQ(test_kept.rewrites, made ? 0 : 1);
  }
}
