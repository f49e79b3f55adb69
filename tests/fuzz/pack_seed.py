#!/usr/bin/env python3
"""Writes the pack fuzz target's seed: the smallest pack the game accepts (every
picture 2x2, every sample four bytes), as the bytes inside the packfile layer,
which the target wraps with the game's password itself. Uses the library's dat
tool and the font and palette of a built pack stage.
Usage: pack_seed.py BUILD_DIR OUT_FILE"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile


def bmp(path, w, h):
    stride = (w + 3) & ~3
    pixels = b"".join(bytes((x + y) % 3 for x in range(w)) + bytes(stride - w) for y in range(h))
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
    off = 14 + 40 + len(palette)
    head = b"BM" + struct.pack("<IHHI", off + len(pixels), 0, 0, off)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(pixels), 0, 0, 256, 0)
    open(path, "wb").write(head + info + palette + pixels)


def wav(path):
    data = bytes((128, 140, 128, 116))
    fmt = struct.pack("<HHIIHH", 1, 1, 11025, 11025, 1, 8)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack(
        "<I", len(data)) + data
    open(path, "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)


def main(build, out):
    stage = os.path.join(build, "data", "pack")
    tmp = tempfile.mkdtemp(prefix="zarn-seed-")
    groups = {"BMP": [], "FONT": [], "PAL": [], "SAMP": [], "DATA": []}
    for i in range(40):
        if i == 14:
            name = "14.fnt"
            shutil.copy(os.path.join(stage, "14_font.fnt"), os.path.join(tmp, name))
            groups["FONT"].append(name)
        elif i == 20:
            name = "20.bmp"
            shutil.copy(os.path.join(stage, "20_palette.bmp"), os.path.join(tmp, name))
            groups["PAL"].append(name)
        elif i in (23, 25):
            name = f"{i}.bin"
            open(os.path.join(tmp, name), "wb").write(b"\0")
            groups["DATA"].append(name)
        elif 21 <= i <= 32:
            name = f"{i}.wav"
            wav(os.path.join(tmp, name))
            groups["SAMP"].append(name)
        else:
            name = f"{i:02d}.bmp"
            bmp(os.path.join(tmp, name), 2, 2)
            groups["BMP"].append(name)
    for kind, names in groups.items():
        subprocess.run(["dat", "-a", "-n1", "-s1", "-c0", "-t", kind, "seed.dat", *names],
                       cwd=tmp, check=True, capture_output=True)
    raw = open(os.path.join(tmp, "seed.dat"), "rb").read()
    assert raw[:8] == b"slh.ALL.", raw[:8]
    open(out, "wb").write(raw[4:])
    shutil.rmtree(tmp)


if __name__ == "__main__":
    main(*sys.argv[1:])
