// SPDX-License-Identifier: MIT
#include "startup/pack.h"

#include "core/game_state.h"
#include "platform/platform.h"
#include "startup/files.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The library's type for each of the catalogue's (0 where any will do, and
// then never named), and its name in a reason.
constexpr struct {
  int type;
  const char *name;
} library_type[] = {{0, nullptr},
                    {DAT_BITMAP, "a bitmap"},
                    {DAT_FONT, "a font"},
                    {DAT_PALETTE, "a palette"},
                    {DAT_SAMPLE, "a sample"}};
static_assert(sizeof library_type / sizeof library_type[0] == PACK_SAMPLE + 1 &&
                  library_type[PACK_ANY].type == 0 &&
                  library_type[PACK_BITMAP].type == DAT_BITMAP &&
                  library_type[PACK_FONT].type == DAT_FONT &&
                  library_type[PACK_PALETTE].type == DAT_PALETTE &&
                  library_type[PACK_SAMPLE].type == DAT_SAMPLE,
              "library_type follows PackType");

// Reads past `n` bytes, counting them; false when the chunk ends first.
int skip_bytes(PACKFILE *chunk, long n, long *used) {
  char block[4096];
  while (n > 0) {
    long want = n < static_cast<long>(sizeof block) ? n : sizeof block;
    if (pack_fread(block, want, chunk) != want)
      return 0;
    n -= want;
    *used += want;
  }
  return 1;
}

// True when the chunk holds as many bytes as its header promised when it
// was opened (`used` of them read already), no fewer and no more; a pack cut
// inside its last object would otherwise load with part of it missing.
int chunk_complete(PACKFILE *chunk, long promised, long used) {
  return used <= promised && skip_bytes(chunk, promised - used, &used) &&
         pack_getc(chunk) == EOF;
}

// A font's layout: every glyph of every range must lie whole inside the
// object. Only the layout this library version's tools write (height 0,
// then ranges) is taken.
int font_readable(PACKFILE *chunk, long *used) {
  int height = pack_mgetw(chunk);
  int ranges = pack_mgetw(chunk);
  *used += 4;
  if (height != 0 || ranges <= 0 || ranges == EOF)
    return 0;
  for (int r = 0; r < ranges; r++) {
    int depth = pack_getc(chunk);
    long begin = pack_mgetl(chunk);
    long end = pack_mgetl(chunk);
    *used += 9;
    if ((depth != 1 && depth != 8) || begin < 0 || end < begin ||
        end - begin >= 0x110000)
      return 0;
    for (long c = begin; c <= end; c++) {
      long w = pack_mgetw(chunk);
      long h = pack_mgetw(chunk);
      *used += 4;
      // The library draws a glyph of no width or height (text is drawn
      // opaque) over memory outside the target, and keeps a glyph's size
      // in 16 signed bits.
      if (w < 1 || h < 1 || w > 32767 || h > 32767)
        return 0;
      long bytes = depth == 1 ? (w + 7) / 8 * h : w * h;
      if (!skip_bytes(chunk, bytes, used))
        return 0;
    }
  }
  return 1;
}

// A picture: a known depth, a size of at least one pixel, and its pixels.
int bitmap_readable(PACKFILE *chunk, long size, long *used) {
  int bits = static_cast<short>(pack_mgetw(chunk));
  long w = pack_mgetw(chunk);
  long h = pack_mgetw(chunk);
  *used += 6;
  long bytes = bits == 8                   ? 1
               : bits == 15 || bits == 16  ? 2
               : bits == 24                ? 3
               : bits == 32 || bits == -32 ? 4
                                           : 0;
  return bytes != 0 && w > 0 && h > 0 && 6 + w * h * bytes <= size;
}

// A sample: 8 or 16 bits (negative for stereo) and all its frames.
int sample_readable(PACKFILE *chunk, long size, long *used) {
  int bits = static_cast<short>(pack_mgetw(chunk));
  pack_mgetw(chunk); // the frequency: any will do
  long length = pack_mgetl(chunk);
  *used += 8;
  long channels = bits < 0 ? 2 : 1;
  bits = bits < 0 ? -bits : bits;
  return (bits == 8 || bits == 16) && length >= 0 &&
         8 + length * channels * (bits / 8) <= size;
}

// The library's loader frees its object list twice when one object of it
// fails to load, so a pack must hold only objects that load. Each one's
// layout is walked here the way the library's reader for its type reads it;
// the types the game never uses that have readers of their own are turned
// away rather than walked.
int content_readable(long type, PACKFILE *chunk) {
  // What is still to come before the first read: the object's size.
  long size = chunk->normal.todo;
  long used = 0;
  int ok = 1;
  switch (type) {
  case DAT_FONT:
    ok = font_readable(chunk, &used);
    break;
  case DAT_BITMAP:
  case DAT_C_SPRITE:
  case DAT_XC_SPRITE:
    ok = bitmap_readable(chunk, size, &used);
    break;
  case DAT_SAMPLE:
    ok = sample_readable(chunk, size, &used);
    break;
  case DAT_MIDI:
  case DAT_RLE_SPRITE:
  case DAT_FLI:
  case DAT_PATCH:
    return 0;
  }
  return ok && chunk_complete(chunk, size, used);
}

// Walks a datafile's object list the way the library's loader will. The
// loader calls through a null pointer when the file ends where an object's
// type should be (a cut file), so such a file must be turned away first.
int objects_readable(PACKFILE *f, int depth) {
  long count = pack_mgetl(f);
  if (count < 0 || count > 65536)
    return 0;
  for (long c = 0; c < count; c++) {
    long type = pack_mgetl(f);
    while (type == DAT_PROPERTY) {
      long prop_type = pack_mgetl(f);
      long size = pack_mgetl(f);
      if (prop_type == EOF || size < 0 || size > 65536 ||
          pack_fseek(f, static_cast<int>(size)) != 0)
        return 0;
      type = pack_mgetl(f);
    }
    // The library keeps the type in 32 bits, where FF FF FF FF is DAT_END,
    // for which it calls through a null pointer.
    if (static_cast<int32_t>(type) == DAT_END)
      return 0;
    PACKFILE *chunk = pack_fopen_chunk(f, FALSE);
    if (chunk == nullptr)
      return 0;
    int ok = (type == DAT_FILE)
                 ? depth < 8 && objects_readable(chunk, depth + 1)
                 : content_readable(type, chunk);
    pack_fclose_chunk(chunk);
    if (!ok)
      return 0;
  }
  return 1;
}

int pack_readable(const char *path) {
  PACKFILE *f = pack_fopen(path, F_READ_PACKED);
  if (f == nullptr)
    return 0;
  int ok = pack_mgetl(f) == DAT_MAGIC && objects_readable(f, 0);
  pack_fclose(f);
  return ok;
}

int check_pack(const DATAFILE *dat, char *why, int why_size) {
  int count = 0;
  while (count < PACK_OBJECTS && dat[count].type != DAT_END)
    count++;
  if (count < PACK_OBJECTS) {
    snprintf(why, static_cast<size_t>(why_size),
             "it holds %d objects, the game needs %d", count, PACK_OBJECTS);
    return 0;
  }
  for (int i = 0; i < PACK_OBJECTS; i++) {
    int type = library_type[pack_catalogue[i].type].type;
    if (type == 0)
      continue;
    if (dat[i].type != type || dat[i].dat == nullptr) {
      snprintf(why, static_cast<size_t>(why_size), "object %d is not %s", i,
               library_type[pack_catalogue[i].type].name);
      return 0;
    }
    if (type == DAT_BITMAP) {
      const BITMAP *b = static_cast<const BITMAP *>(dat[i].dat);
      if (bitmap_color_depth(const_cast<BITMAP *>(b)) != 8 || b->w <= 0 ||
          b->h <= 0) {
        snprintf(why, static_cast<size_t>(why_size),
                 "object %d is not an 8-bit picture", i);
        return 0;
      }
    }
  }
  return 1;
}

} // namespace

DATAFILE *load_pack(const char *path, char *why, int why_size) {
  int err = 0;
  if (!platform_regular_file(path, &err)) {
    snprintf(why, static_cast<size_t>(why_size), "%s",
             err == ENOENT ? "file not found" : regular_file_reason(err));
    return nullptr;
  }
  errno = 0;
  DATAFILE *dat = nullptr;
  if (pack_readable(path))
    dat = load_datafile(path);
  if (dat == nullptr) {
    // The library leaves its own error text empty here; say what we know.
    if (allegro_error[0] != '\0')
      snprintf(why, static_cast<size_t>(why_size), "%s", allegro_error);
    else if (errno == ENOENT)
      snprintf(why, static_cast<size_t>(why_size), "file not found");
    else
      snprintf(why, static_cast<size_t>(why_size),
               "wrong password or damaged file");
    return nullptr;
  }
  if (!check_pack(dat, why, why_size)) {
    unload_datafile(dat);
    return nullptr;
  }
  return dat;
}

void bind_pack() {
  playfield_bmp = pack_bitmap(OBJ_PLAYFIELD);
  lady_sprite = pack_bitmap(OBJ_LADY_USUAL);
  bonus_sprite = pack_bitmap(OBJ_BONUS_1);
  heart_bmp = pack_bitmap(OBJ_HEART);
  cursor_bmp = pack_bitmap(OBJ_CURSOR);
  title_bmp = pack_bitmap(OBJ_TITLE);
  snd_start = static_cast<SAMPLE *>(pack[OBJ_SND_START].dat);
  snd_bonus_music = static_cast<SAMPLE *>(pack[OBJ_SND_BONUS_MUSIC].dat);
  snd_music = static_cast<SAMPLE *>(pack[OBJ_SND_MUSIC].dat);
  snd_lost = static_cast<SAMPLE *>(pack[OBJ_SND_LOST].dat);
  snd_click = static_cast<SAMPLE *>(pack[OBJ_SND_CLICK].dat);
  snd_handover = static_cast<SAMPLE *>(pack[OBJ_SND_HANDOVER].dat);
  snd_clear = static_cast<SAMPLE *>(pack[OBJ_SND_CLEAR].dat);
  snd_gameover = static_cast<SAMPLE *>(pack[OBJ_SND_GAMEOVER].dat);
  snd_bonus_get = static_cast<SAMPLE *>(pack[OBJ_SND_BONUS_GET].dat);
  snd_instr_music = static_cast<SAMPLE *>(pack[OBJ_SND_INSTR_MUSIC].dat);
}
