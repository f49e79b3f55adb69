#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the pack fuzz target's seed (tests/fuzz/corpus/pack/smallest): the
smallest pack the game accepts, one object for every row of the catalogue
(every picture 2x2, every sample four bytes), as the bytes inside the
packfile layer, which the target wraps with the game's password itself. Uses
the library's dat tool and the font and palette of a built pack stage.
Usage: fuzz_seed.py BUILD_DIR OUT_FILE"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import catalogue


def bmp(w, h):
    stride = (w + 3) & ~3
    pixels = b"".join(bytes((x + y) % 3 for x in range(w)) + bytes(stride - w) for y in range(h))
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
    off = 14 + 40 + len(palette)
    head = b"BM" + struct.pack("<IHHI", off + len(pixels), 0, 0, off)
    return head + struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(pixels), 0, 0, 256, 0) + \
        palette + pixels


def wav():
    data = bytes((128, 140, 128, 116))
    fmt = struct.pack("<HHIIHH", 1, 1, 11025, 11025, 1, 8)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack(
        "<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main(build, out):
    stage = os.path.join(build, "data", "pack")
    made = {"BITMAP": ("BMP", "bmp", lambda: bmp(2, 2)), "SAMPLE": ("SAMP", "wav", wav),
            "ANY": ("DATA", "bin", lambda: b"\0"),
            "FONT": ("FONT", "fnt", lambda: open(os.path.join(stage, "14_font.fnt"), "rb").read()),
            "PALETTE": ("PAL", "bmp", lambda: open(os.path.join(stage, "20_palette.bmp"), "rb").read())}
    tmp = tempfile.mkdtemp(prefix="zarn-seed-")
    groups = {}
    for index, _, kind, _, _, _ in catalogue.objects():
        dat_type, ext, make = made[kind]
        name = f"{index:02d}.{ext}"
        open(os.path.join(tmp, name), "wb").write(make())
        groups.setdefault(dat_type, []).append(name)
    for kind, names in groups.items():
        subprocess.run(["dat", "-a", "-n1", "-s1", "-c0", "-t", kind, "seed.dat", *names],
                       cwd=tmp, check=True, capture_output=True)
    raw = open(os.path.join(tmp, "seed.dat"), "rb").read()
    assert raw[:8] == b"slh.ALL.", raw[:8]
    open(out, "wb").write(raw[4:])
    shutil.rmtree(tmp)


if __name__ == "__main__":
    main(*sys.argv[1:])
