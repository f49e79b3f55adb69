#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "startup/hiscore.h"
#include "test_support.h"

namespace {

std::vector<unsigned char> file_bytes(const char *name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const char *name, const std::vector<unsigned char> &bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

using Bytes = std::vector<unsigned char>;

} // namespace

TEST(Hiscore, StoredBytesFollowTheTextStreamLayout) {
  ScratchDir dir;
  const struct {
    int value;
    Bytes bytes;
  } cases[] = {
      {100, {0x64, 0x00, 0x00, 0x00}},
      {10, {0x0D, 0x0A, 0x00, 0x00, 0x00}},
      {2570, {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x00}},
      {0x0A0A0A0A, {0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A}},
      {-1, {0xFF, 0xFF, 0xFF, 0xFF}},
      {13, {0x0D, 0x00, 0x00, 0x00}},
  };
  for (const auto &c : cases) {
    save_hiscore(c.value);
    EXPECT_EQ(file_bytes("hiscore.zrn"), c.bytes) << c.value;
    EXPECT_EQ(load_hiscore(), c.value) << c.value;
  }
}

TEST(Hiscore, ReadingTranslatesOnlyCarriageReturnLineFeedPairs) {
  ScratchDir dir;
  // A lone 0x0D is a byte of its own; 0x0D 0x0D 0x0A is 0x0D then 0x0A.
  write_bytes("hiscore.zrn", {0x0D, 0x0D, 0x0A, 0x01, 0x02});
  EXPECT_EQ(load_hiscore(), 0x02010A0D);
  // A bare 0x0A, as another tool might write, is still read as 0x0A.
  write_bytes("hiscore.zrn", {0x0A, 0x00, 0x00, 0x00});
  EXPECT_EQ(load_hiscore(), 10);
}

TEST(Hiscore, MissingCutOrUnreadableFilesGiveTheDefault) {
  ScratchDir dir;
  EXPECT_EQ(load_hiscore(), 100);
  write_bytes("hiscore.zrn", {});
  EXPECT_EQ(load_hiscore(), 100);
  write_bytes("hiscore.zrn", {0x39, 0x05, 0x00});
  EXPECT_EQ(load_hiscore(), 100);
  // Three bytes once the pair is translated: still too short.
  write_bytes("hiscore.zrn", {0x0D, 0x0A, 0x00, 0x00});
  EXPECT_EQ(load_hiscore(), 100);
  remove("hiscore.zrn");
  ASSERT_EQ(mkdir("hiscore.zrn", 0755), 0);
  EXPECT_EQ(load_hiscore(), 100);
  // Nothing can be written over a directory; the save just gives up.
  save_hiscore(1234);
  struct stat st;
  ASSERT_EQ(stat("hiscore.zrn", &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(Hiscore, LongFilesAreReadByTheirFirstFourBytesAndRewrittenShort) {
  ScratchDir dir;
  write_bytes("hiscore.zrn", {0x10, 0x27, 0x00, 0x00, 0x55, 0x66, 0x77});
  EXPECT_EQ(load_hiscore(), 10000);
  save_hiscore(load_hiscore());
  EXPECT_EQ(file_bytes("hiscore.zrn"), (Bytes{0x10, 0x27, 0x00, 0x00}));
}

TEST(Hiscore, ReadOnlyFileKeepsItsContent) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root writes through read-only permissions";
  ScratchDir dir;
  save_hiscore(500);
  chmod("hiscore.zrn", 0444);
  save_hiscore(900);
  EXPECT_EQ(load_hiscore(), 500);
}

TEST(Hiscore, NewFileIsCreatedGroupWritable) {
  ScratchDir dir;
  mode_t old = umask(022);
  save_hiscore(100);
  umask(old);
  struct stat st;
  ASSERT_EQ(stat("hiscore.zrn", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0664u);
}
