#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Packs a zip for players: make_zip.py ZIP NAME=FILE... Each file lies at
the top of the zip under its name, so that unpacking it gives the game's
folder; a text (NAME ending in .txt) gets Windows line ends, which every
system's editor shows. Every entry carries the same fixed date and
attributes, so the same files always give the same zip."""
import os
import sys
import zipfile

# Not the time of the build: the first release's day.
DATE = (2026, 12, 7, 0, 0, 0)


def main(out, *entries):
    with zipfile.ZipFile(out + ".part", "w") as z:
        for entry in entries:
            name, path = entry.split("=", 1)
            with open(path, "rb") as f:
                data = f.read()
            if name.endswith(".txt"):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            info = zipfile.ZipInfo(name, DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            z.writestr(info, data, compresslevel=9)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    if len(sys.argv) < 3 or "=" not in "".join(sys.argv[2:]):
        sys.exit(__doc__)
    main(*sys.argv[1:])
