#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The parts of the page that come from the Linux build, so that zarn.html is
one file: embed.py PACK ICON SHELL OUT_DIR writes OUT_DIR/pack.js (the pack
as text, which the page puts in the program's folder before it starts) and
OUT_DIR/shell.html (the page with the ape as its icon)."""
import base64
import os
import sys


def main(pack, icon, shell, out):
    def text(path):
        with open(path, "rb") as f:
            return base64.b64encode(f.read()).decode("ascii")
    with open(os.path.join(out, "pack.js"), "w") as f:
        f.write(f'var zarnPack = "{text(pack)}";\n')
    with open(shell) as f:
        page = f.read().replace("@ICON@", text(icon))
    with open(os.path.join(out, "shell.html"), "w") as f:
        f.write(page)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
