#include "startup/pack.h"

#include "core/game_state.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The type the game expects at each index; 0 where any type will do.
int expected_type(int index) {
  switch (index) {
  case OBJ_FONT:
    return DAT_FONT;
  case OBJ_PALETTE:
    return DAT_PALETTE;
  case 23:
  case 25:
    return 0;
  case OBJ_SND_BONUS_MUSIC:
  case OBJ_SND_LOST:
  case OBJ_SND_START:
  case OBJ_SND_INSTR_MUSIC:
  case OBJ_SND_MUSIC:
  case OBJ_SND_GAMEOVER:
  case OBJ_SND_CLICK:
  case OBJ_SND_HANDOVER:
  case OBJ_SND_BONUS_GET:
  case OBJ_SND_CLEAR:
    return DAT_SAMPLE;
  default:
    return DAT_BITMAP;
  }
}

const char *type_name(int type) {
  switch (type) {
  case DAT_FONT:
    return "a font";
  case DAT_PALETTE:
    return "a palette";
  case DAT_SAMPLE:
    return "a sample";
  default:
    return "a bitmap";
  }
}

// True when the chunk holds as many bytes as its header promises; a pack
// cut inside its last object would otherwise load with part of it missing.
int chunk_complete(PACKFILE *chunk) {
  long promised = chunk->normal.todo;
  long got = 0;
  char block[4096];
  long n;
  while ((n = pack_fread(block, sizeof block, chunk)) > 0)
    got += n;
  return got == promised;
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
    if (type == DAT_END)
      return 0;
    PACKFILE *chunk = pack_fopen_chunk(f, FALSE);
    if (chunk == nullptr)
      return 0;
    int ok = (type == DAT_FILE)
                 ? depth < 8 && objects_readable(chunk, depth + 1)
                 : chunk_complete(chunk);
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
    int type = expected_type(i);
    if (type == 0)
      continue;
    if (dat[i].type != type || dat[i].dat == nullptr) {
      snprintf(why, static_cast<size_t>(why_size), "object %d is not %s", i,
               type_name(type));
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
