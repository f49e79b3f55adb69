#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The page's shell and the parts of it that come from the Linux build, in
two forms: embed.py PACK ICON SHELL START OUT_DIR writes

  OUT_DIR/pack.js           the pack gzipped, as text, which the page
                            unpacks into the program's folder before it
                            starts
  OUT_DIR/shell.html        zarn.html's shell: one file, its style and start
                            script inline, the ape as its icon
  OUT_DIR/zip/shell.html    the zip's: no inline script or style, so that it
                            plays under a strict Content-Security-Policy,
                            with its manifest and icon files
  OUT_DIR/zip/page.css      the zip's style, as SHELL's <style> holds it"""
import base64
import gzip
import os
import re
import sys

ZIP_LINKS = ('<link rel="icon" type="image/png" sizes="192x192" href="icon-192.png">\n'
             '<link rel="manifest" href="manifest.webmanifest">\n'
             '<link rel="stylesheet" href="page.css">')
START = '<script src="start.js"></script>'


def main(pack, icon, shell, start, out):
    def read(path, mode="r"):
        with open(path, mode) as f:
            return f.read()

    def write(name, text):
        os.makedirs(os.path.dirname(os.path.join(out, name)), exist_ok=True)
        with open(os.path.join(out, name), "w") as f:
            f.write(text)
    write("pack.js", f'var zarnPack = "{base64.b64encode(gzip.compress(read(pack, "rb"), 9, mtime=0)).decode("ascii")}";\n')
    page = read(shell)
    style = re.search(r"<style>\n(.*?)</style>\n", page, re.S)
    assert style and START in page and "@LINKS@" in page, f"{shell} lacks its <style>, @LINKS@ or {START}"
    icon_link = f'<link rel="icon" type="image/png" href="data:image/png;base64,' \
                f'{base64.b64encode(read(icon, "rb")).decode("ascii")}">'
    write("shell.html", page.replace("@LINKS@", icon_link).replace(START, f"<script>\n{read(start)}</script>"))
    write("zip/page.css", style.group(1))
    write("zip/shell.html", page.replace(style.group(0), "").replace("@LINKS@", ZIP_LINKS))


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])
