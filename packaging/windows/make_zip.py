#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Packs the Windows zip: make_zip.py ZIP EXE PACK TEXT. The files lie at the
top of the zip, so that unpacking it gives the game's folder; the text gets
Windows line ends. Every entry carries the same fixed date and attributes,
so the same files always give the same zip."""
import os
import sys
import zipfile

# Not the time of the build: the first release's day.
DATE = (2026, 12, 7, 0, 0, 0)


def main(out, exe, pack, text):
    with open(text, "rb") as f:
        readme = f.read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    with open(exe, "rb") as f:
        exe_bytes = f.read()
    with open(pack, "rb") as f:
        pack_bytes = f.read()
    with zipfile.ZipFile(out + ".part", "w") as z:
        for name, data in (("zarn.exe", exe_bytes), ("zarn.dat", pack_bytes), ("README.txt", readme)):
            info = zipfile.ZipInfo(name, DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            z.writestr(info, data, compresslevel=9)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
