// SPDX-License-Identifier: MIT
// The resource pack's catalogue: every object the game reaches by index, its
// type and, for a picture, the size the game relies on. The game's indices,
// the pack's check at start-up, the pack tool and the Python tools
// (tools/catalogue.py) all read this one list, so it stays one X(...) row a
// line and includes nothing: the pack tool builds without the library.
//
// The fit of a picture:
//   CUT  the game copies exactly w x h pixels from its corner (0, 0), so it
//        must be at least that big; anything beyond is never seen.
//   OWN  drawn at its own size, and the playfield is laid out around exactly
//        w x h (the ape's x, the barrels' stops, where the held barrel sits).
//   NONE not a picture.
#ifndef ZARN_PACK_CATALOGUE_H
#define ZARN_PACK_CATALOGUE_H

// clang-format off
#define ZARN_PACK_CATALOGUE(X)                            \
  X(0, APE_CLIMB, BITMAP, OWN, 48, 40)                    \
  X(1, APE_CLIMB_2, BITMAP, OWN, 48, 40)                  \
  X(2, APE_STAND, BITMAP, OWN, 48, 40)                    \
  X(3, APE_REACH_RIGHT, BITMAP, OWN, 48, 40)              \
  X(4, APE_REACH_LEFT, BITMAP, OWN, 48, 40)               \
  X(5, APE_LYING, BITMAP, OWN, 48, 40)                    \
  X(6, APE_LYING_2, BITMAP, OWN, 48, 40)                  \
  X(7, APE_FALLING, BITMAP, OWN, 48, 40)                  \
  X(8, BONUS_1, BITMAP, OWN, 16, 16)                      \
  X(9, BONUS_2, BITMAP, OWN, 16, 16)                      \
  X(10, MISS_ICON, BITMAP, CUT, 15, 16)                   \
  X(11, MISS_ICON_2, BITMAP, CUT, 15, 16)                 \
  X(12, FIGURE, BITMAP, CUT, 16, 23)                      \
  X(13, FIGURE_2, BITMAP, CUT, 16, 23)                    \
  X(14, FONT, FONT, NONE, 0, 0)                           \
  X(15, PLAYFIELD, BITMAP, CUT, 320, 240)                 \
  X(16, CURSOR, BITMAP, OWN, 10, 10)                      \
  X(17, HEART, BITMAP, OWN, 16, 14)                       \
  X(18, LADY, BITMAP, CUT, 16, 22)                        \
  X(19, LADY_USUAL, BITMAP, CUT, 16, 22)                  \
  X(20, PALETTE, PALETTE, NONE, 0, 0)                     \
  X(21, SND_BONUS_MUSIC, SAMPLE, NONE, 0, 0)              \
  X(22, SND_LOST, SAMPLE, NONE, 0, 0)                     \
  X(23, UNUSED_23, ANY, NONE, 0, 0)                       \
  X(24, SND_START, SAMPLE, NONE, 0, 0)                    \
  X(25, UNUSED_25, ANY, NONE, 0, 0)                       \
  X(26, SND_INSTR_MUSIC, SAMPLE, NONE, 0, 0)              \
  X(27, SND_MUSIC, SAMPLE, NONE, 0, 0)                    \
  X(28, SND_GAMEOVER, SAMPLE, NONE, 0, 0)                 \
  X(29, SND_CLICK, SAMPLE, NONE, 0, 0)                    \
  X(30, SND_HANDOVER, SAMPLE, NONE, 0, 0)                 \
  X(31, SND_BONUS_GET, SAMPLE, NONE, 0, 0)                \
  X(32, SND_CLEAR, SAMPLE, NONE, 0, 0)                    \
  X(33, TITLE, BITMAP, CUT, 320, 240)                     \
  X(34, BARREL_ROLL, BITMAP, OWN, 14, 10)                 \
  X(35, BARREL_ROLL_1, BITMAP, OWN, 14, 10)               \
  X(36, BARREL_ROLL_2, BITMAP, OWN, 14, 10)               \
  X(37, BARREL_ROLL_3, BITMAP, OWN, 14, 10)               \
  X(38, BARREL_HELD, BITMAP, OWN, 14, 12)                 \
  X(39, STACK_BARREL, BITMAP, CUT, 10, 16)
// clang-format on

enum PackIndex {
#define ZARN_PACK_INDEX(index, name, type, fit, w, h) OBJ_##name = index,
  ZARN_PACK_CATALOGUE(ZARN_PACK_INDEX)
#undef ZARN_PACK_INDEX
      PACK_OBJECTS
};

enum PackType { PACK_ANY, PACK_BITMAP, PACK_FONT, PACK_PALETTE, PACK_SAMPLE };
enum PackFit { FIT_NONE, FIT_OWN, FIT_CUT };

struct PackObject {
  int index;
  const char *name;
  PackType type;
  PackFit fit;
  int w, h;
};

constexpr PackObject pack_catalogue[] = {
#define ZARN_PACK_ROW(index, name, type, fit, w, h)                            \
  {index, #name, PACK_##type, FIT_##fit, w, h},
    ZARN_PACK_CATALOGUE(ZARN_PACK_ROW)
#undef ZARN_PACK_ROW
};

constexpr bool pack_catalogue_in_order() {
  for (int i = 0; i < PACK_OBJECTS; i++)
    if (pack_catalogue[i].index != i)
      return false;
  return true;
}
static_assert(sizeof pack_catalogue / sizeof pack_catalogue[0] ==
                      PACK_OBJECTS &&
                  pack_catalogue_in_order(),
              "the catalogue lists every index once, in order");

#endif
