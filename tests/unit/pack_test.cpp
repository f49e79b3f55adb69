// Checks the built zarn.dat against what the game's code relies on: every
// object at its index with its type, pictures big enough for the sizes the
// game draws them at, the colours it prints text in, and the password.
#include <allegro.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#ifndef ZARN_PACK_PATH
#error "ZARN_PACK_PATH must name the built pack"
#endif

namespace {

constexpr int kObjects = 40;
const char *const kPassword = "qev";

void ensure_allegro() {
  // Another test file of this program may have set the library up already.
  if (system_driver == nullptr) {
    set_uformat(U_ASCII);
    ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  }
  set_color_depth(8);
  set_color_conversion(COLORCONV_NONE);
}

// The game sets the password once and leaves it; so do these tests, whatever
// a test changed it to in between.
struct PasswordScope {
  explicit PasswordScope(const char *password) { packfile_password(password); }
  ~PasswordScope() { packfile_password(kPassword); }
};

DATAFILE *load_pack_with(const char *path, const char *password) {
  PasswordScope scope(password);
  return load_datafile(path);
}

int count_objects(const DATAFILE *dat) {
  int n = 0;
  while (dat[n].type != DAT_END)
    n++;
  return n;
}

int ink_pixels(BITMAP *b, int x0, int y0, int w, int h) {
  int n = 0;
  for (int y = y0; y < y0 + h && y < b->h; y++)
    for (int x = x0; x < x0 + w && x < b->w; x++)
      if (getpixel(b, x, y) != 0)
        n++;
  return n;
}

class PackTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ensure_allegro();
    pack_ = load_pack_with(ZARN_PACK_PATH, kPassword);
  }
  static void TearDownTestSuite() {
    if (pack_ != nullptr)
      unload_datafile(pack_);
    pack_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(pack_, nullptr) << "cannot load " << ZARN_PACK_PATH;
    ASSERT_GE(count_objects(pack_), kObjects);
  }
  static BITMAP *bitmap(int i) {
    EXPECT_EQ(pack_[i].type, DAT_BITMAP) << "object " << i;
    return static_cast<BITMAP *>(pack_[i].dat);
  }
  static DATAFILE *pack_;
};

DATAFILE *PackTest::pack_ = nullptr;

struct MinSize {
  int index, w, h;
  bool exact;
};

// Sizes the game's drawing code takes for granted.
const MinSize kBitmapSizes[] = {
    {0, 48, 40, true},   {1, 48, 40, true},    {2, 48, 40, true},
    {3, 48, 40, true},   {4, 48, 40, true},    {5, 48, 40, true},
    {6, 48, 40, true},   {7, 48, 40, true},    {8, 16, 16, false},
    {9, 16, 16, false},  {10, 15, 16, false},  {11, 15, 16, false},
    {12, 16, 23, false}, {13, 16, 23, false},  {15, 320, 240, true},
    {16, 1, 1, false},   {17, 1, 1, false},    {18, 16, 22, false},
    {19, 16, 22, false}, {33, 320, 240, true}, {34, 14, 10, false},
    {35, 14, 10, false}, {36, 14, 10, false},  {37, 14, 10, false},
    {38, 14, 12, false}, {39, 10, 16, false},
};

TEST_F(PackTest, EveryObjectHasItsType) {
  for (int i = 0; i < kObjects; i++) {
    SCOPED_TRACE("object " + std::to_string(i));
    ASSERT_NE(pack_[i].dat, nullptr);
    if (i == 23 || i == 25)
      continue; // unused slots
    int want = DAT_BITMAP;
    if (i == 14)
      want = DAT_FONT;
    else if (i == 20)
      want = DAT_PALETTE;
    else if ((i >= 21 && i <= 32))
      want = DAT_SAMPLE;
    EXPECT_EQ(pack_[i].type, want);
  }
}

TEST_F(PackTest, BitmapsAreEightBitAndBigEnough) {
  for (const MinSize &s : kBitmapSizes) {
    SCOPED_TRACE("object " + std::to_string(s.index));
    BITMAP *b = bitmap(s.index);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(bitmap_color_depth(b), 8);
    if (s.exact) {
      EXPECT_EQ(b->w, s.w);
      EXPECT_EQ(b->h, s.h);
    } else {
      EXPECT_GE(b->w, s.w);
      EXPECT_GE(b->h, s.h);
    }
    EXPECT_GT(ink_pixels(b, 0, 0, b->w, b->h), 0) << "an empty picture";
  }
}

TEST_F(PackTest, PaletteHasBlackZeroAndBrightTextColours) {
  ASSERT_EQ(pack_[20].type, DAT_PALETTE);
  const RGB *pal = static_cast<const RGB *>(pack_[20].dat);
  EXPECT_EQ(pal[0].r, 0);
  EXPECT_EQ(pal[0].g, 0);
  EXPECT_EQ(pal[0].b, 0);
  for (int i : {19, 42}) {
    SCOPED_TRACE("entry " + std::to_string(i));
    int top = std::max(pal[i].r, std::max(pal[i].g, pal[i].b));
    EXPECT_GE(top, 40) << "too dark to read on black";
  }
  for (int i = 0; i < 256; i++) {
    EXPECT_LE(pal[i].r, 63);
    EXPECT_LE(pal[i].g, 63);
    EXPECT_LE(pal[i].b, 63);
  }
}

TEST_F(PackTest, FontDrawsDigitsAndLetters) {
  ASSERT_EQ(pack_[14].type, DAT_FONT);
  FONT *f = static_cast<FONT *>(pack_[14].dat);
  EXPECT_EQ(text_height(f), 8);
  BITMAP *cell = create_bitmap(8, 8);
  ASSERT_NE(cell, nullptr);
  std::string chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ:()/'-";
  for (char c : chars) {
    char text[2] = {c, 0};
    EXPECT_EQ(text_length(f, text), 8) << "'" << c << "'";
    clear_to_color(cell, 0);
    textout_ex(cell, f, text, 0, 0, 42, 0);
    EXPECT_GT(ink_pixels(cell, 0, 0, 8, 8), 0) << "'" << c << "' draws nothing";
  }
  // Different letters must not share a glyph (a font of one repeated box
  // would pass the test above).
  std::vector<std::vector<int>> seen;
  for (char c = 'A'; c <= 'Z'; c++) {
    char text[2] = {c, 0};
    clear_to_color(cell, 0);
    textout_ex(cell, f, text, 0, 0, 1, 0);
    std::vector<int> px;
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++)
        px.push_back(getpixel(cell, x, y));
    for (const auto &other : seen)
      EXPECT_NE(px, other) << "'" << c << "' looks like an earlier letter";
    seen.push_back(px);
  }
  destroy_bitmap(cell);
}

TEST_F(PackTest, SamplesHaveSoundOfAboutTheRightLength) {
  struct Want {
    int index;
    double min_s, max_s;
  };
  const Want wants[] = {
      {21, 3.5, 7.0},  {22, 0.3, 1.0}, {24, 1.5, 5.0},  {26, 10.0, 18.0},
      {27, 7.0, 17.0}, {28, 1.5, 4.0}, {29, 0.01, 0.1}, {30, 0.08, 0.3},
      {31, 0.3, 0.8},  {32, 2.0, 4.5},
  };
  for (const Want &w : wants) {
    SCOPED_TRACE("object " + std::to_string(w.index));
    ASSERT_EQ(pack_[w.index].type, DAT_SAMPLE);
    const SAMPLE *s = static_cast<const SAMPLE *>(pack_[w.index].dat);
    ASSERT_NE(s->data, nullptr);
    ASSERT_GT(s->len, 0UL);
    EXPECT_TRUE(s->bits == 8 || s->bits == 16);
    EXPECT_FALSE(s->stereo);
    ASSERT_GT(s->freq, 0);
    double seconds = static_cast<double>(s->len) / s->freq;
    EXPECT_GE(seconds, w.min_s);
    EXPECT_LE(seconds, w.max_s);
    // Not silence: Allegro keeps 8-bit samples unsigned around 128.
    if (s->bits == 8) {
      const unsigned char *d = static_cast<const unsigned char *>(s->data);
      int loudest = 0;
      for (unsigned long i = 0; i < s->len; i++)
        loudest = std::max(loudest, std::abs(d[i] - 128));
      EXPECT_GT(loudest, 32);
    }
  }
}

// Places the game draws over with opaque pictures or text must stay black in
// the backgrounds, or the sprites would show black boxes around them.
TEST_F(PackTest, BackgroundsLeaveRoomForWhatIsDrawnOverThem) {
  BITMAP *field = bitmap(15);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(ink_pixels(field, 0, 0, 320, 8), 0) << "status line rows";
  EXPECT_EQ(ink_pixels(field, 68, 51, 16, 22), 0) << "behind the lady";
  EXPECT_EQ(ink_pixels(field, 72, 34, 16, 14), 0) << "behind the heart";
  EXPECT_EQ(ink_pixels(field, 0, 215, 112, 16), 0) << "left lost-barrel icons";
  EXPECT_EQ(ink_pixels(field, 208, 215, 112, 16), 0)
      << "right lost-barrel icons";
  // And the things the player must see are drawn: the ladder behind the ape
  // and a girder under each barrel lane.
  EXPECT_GT(ink_pixels(field, 140, 20, 2, 200), 150) << "ladder rail";
  for (int y : {53, 97, 132, 167, 201})
    EXPECT_GT(ink_pixels(field, 186, y, 134, 2), 200)
        << "right girder at " << y;
  for (int y : {73, 132, 167, 201})
    EXPECT_GT(ink_pixels(field, 0, y, 124, 2), 200) << "left girder at " << y;

  BITMAP *title = bitmap(33);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(ink_pixels(title, 100, 108, 161, 125), 0) << "menu area";
  EXPECT_EQ(ink_pixels(title, 0, 0, 320, 8), 0);
  EXPECT_GT(ink_pixels(title, 0, 12, 320, 89), 2000) << "no logo";
}

TEST_F(PackTest, SpritesAreMaskedAndReachTheirEdges) {
  for (int i = 0; i <= 7; i++) {
    BITMAP *b = bitmap(i);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(getpixel(b, 0, 0), 0)
        << "object " << i << " has no see-through corner";
  }
  // The reaching arms touch the side the barrels are taken from.
  EXPECT_GT(ink_pixels(bitmap(3), 47, 20, 1, 9), 0);
  EXPECT_GT(ink_pixels(bitmap(4), 0, 20, 1, 9), 0);
  // Lying down keeps to the lower part of the picture.
  for (int i : {5, 6}) {
    BITMAP *b = bitmap(i);
    EXPECT_GT(ink_pixels(b, 0, 28, 48, 12), ink_pixels(b, 0, 0, 48, 28));
  }
  // Two-picture animations must differ, or nothing would move.
  for (int i : {0, 5, 10, 12, 18, 34, 35, 36}) {
    BITMAP *a = bitmap(i), *b = bitmap(i + 1);
    int differ = 0;
    for (int y = 0; y < std::min(a->h, b->h); y++)
      for (int x = 0; x < std::min(a->w, b->w); x++)
        differ += getpixel(a, x, y) != getpixel(b, x, y);
    EXPECT_GT(differ, 0) << "objects " << i << " and " << i + 1
                         << " are the same";
  }
}

TEST(PackPassword, LoadFailsWithoutOrWithWrongPassword) {
  ensure_allegro();
  DATAFILE *none = load_pack_with(ZARN_PACK_PATH, nullptr);
  EXPECT_EQ(none, nullptr);
  if (none != nullptr)
    unload_datafile(none);
  DATAFILE *wrong = load_pack_with(ZARN_PACK_PATH, "qew");
  EXPECT_EQ(wrong, nullptr);
  if (wrong != nullptr)
    unload_datafile(wrong);
  // The right one still works afterwards.
  DATAFILE *right = load_pack_with(ZARN_PACK_PATH, kPassword);
  EXPECT_NE(right, nullptr);
  if (right != nullptr)
    unload_datafile(right);
}

} // namespace
