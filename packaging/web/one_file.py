#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""zarn.html, the zip's page made one file: one_file.py SHELL CODE WASM OUT
puts into SHELL (embed.py's shell.html, its style and start script inline)
the zip's program CODE (zarn.js, which holds the pack) and its WebAssembly
WASM, gzipped as base64 text, and writes OUT.

The WebAssembly comes first, in a script of its own that begins to unpack
and compile it (zarnUnpack, start.js) while the browser reads the rest of
the page, and gzipped it is less than half the text. The text is what a
phone waits on: Chromium here, its CPU slowed four times as a mid-range
phone's, took about a second to read a page of a million characters
before any of it ran."""
import base64
import gzip
import sys

SCRIPT = "{{{ SCRIPT }}}"


def main(shell, code, wasm, out):
    with open(shell) as f:
        page = f.read()
    with open(code) as f:
        program = f.read()
    with open(wasm, "rb") as f:
        packed = base64.b64encode(gzip.compress(f.read(), 9, mtime=0)).decode("ascii")
    assert page.count(SCRIPT) == 1, f"{shell} lacks its {SCRIPT}"
    assert "</script" not in program.lower(), f"{code} would end its script early"
    # Where there is no WebAssembly start.js has said so; the program then
    # stops at its own first use of it.
    compile_code = (f'var zarnCode = typeof WebAssembly === "object" ? zarnUnpack("{packed}")'
                    f'.then(function (bytes) {{ return WebAssembly.compile(bytes); }}) : null;')
    scripts = f"<script>\n{compile_code}\n</script>\n<script>\n{program}</script>"
    with open(out, "w") as f:
        f.write(page.replace(SCRIPT, scripts))


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
