#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Packs the Linux build's icon PNGs into one Windows icon:
make_ico.py ICO PNG... Since Vista an .ico entry may hold a PNG as it is, so
the exe shows exactly the pictures the desktop icons are, with nothing drawn
twice."""
import struct
import sys


def main(out, pngs):
    images = []
    for path in pngs:
        with open(path, "rb") as f:
            data = f.read()
        width, height = struct.unpack(">II", data[16:24])  # the PNG's IHDR
        images.append((width, height, data))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for width, height, data in images:
        # 256 is written as 0: the field is one byte.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                               len(data), offset + len(blobs))
        blobs += data
    with open(out, "wb") as f:
        f.write(header + entries + blobs)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
