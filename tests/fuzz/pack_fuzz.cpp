// SPDX-License-Identifier: MIT
// Any bytes as the contents of zarn.dat, wrapped in the packfile layer with
// the game's password exactly as the pack is stored. The loader must never
// crash; a pack it turns away must come with a reason, and one it accepts
// must hold every object the game binds, each usable as what it is.
#include <allegro.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include "core/game_state.h"
#include "platform/platform.h"
#include "startup/pack.h"
#include "test_support.h"

namespace {

BITMAP *canvas;

void use_accepted_pack() {
  for (const PackObject &o : pack_catalogue) {
    if (o.type == PACK_ANY) // never used, so anything goes
      continue;
    if (pack[o.index].dat == nullptr)
      abort();
    if (o.type == PACK_BITMAP) {
      BITMAP *b = pack_bitmap(o.index);
      masked_blit(b, canvas, 0, 0, 0, 0, b->w, b->h);
    } else if (o.type == PACK_SAMPLE &&
               (pack[o.index].type != DAT_SAMPLE ||
                static_cast<SAMPLE *>(pack[o.index].dat)->data == nullptr)) {
      abort();
    }
  }
  textout_ex(canvas, static_cast<FONT *>(pack[OBJ_FONT].dat), "ZARN 0123", 0, 0,
             COL_TEXT, 0);
  set_palette(static_cast<RGB *>(pack[OBJ_PALETTE].dat));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char dir[] = "/tmp/zarn-fuzz-pack-XXXXXX";
  if (mkdtemp(dir) == nullptr || chdir(dir) != 0)
    abort();
  set_uformat(U_ASCII);
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
    abort();
  set_color_depth(8);
  set_color_conversion(COLORCONV_NONE);
  canvas = create_bitmap(FRAME_W, FRAME_H);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (!test_put_pack("zarn.dat", data, static_cast<long>(size)))
    abort();
  char why[256] = "";
  pack = load_pack("zarn.dat", why, sizeof why);
  if (pack == nullptr) {
    if (why[0] == '\0')
      abort();
    return 0;
  }
  use_accepted_pack();
  unload_datafile(pack);
  pack = nullptr;
  return 0;
}
