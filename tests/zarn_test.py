# SPDX-License-Identifier: MIT
"""What the tests read the replay tool's output with: a whole script run in a
scratch folder, pictures as rows of palette indices, the pack's objects and
the font's texts; the tool itself and the player on a pipe are in
tools/replay.py, imported here once for the tests."""
import functools
import os
import shlex
import subprocess
import tempfile
from itertools import accumulate

from replay import (BUILD, CARRIED, FALLING, FREE, LANE_RUNG, LANE_X, LANE_Y, LAYOUT, LEVELS, PACK,  # noqa: F401
                    ROLLING, RUNG_Y, TRACE, TRACE_BUILD, TRAVELLING, WAITING, Driver, built_by, good_bot,
                    idle, live, reach, scratch, state, to_game, toward)

# From the title menu's first item down to QUIT, chosen.
QUIT = [". DOWN", ".", ". DOWN", ".", ". DOWN", ".", ". ENTER"]


@functools.lru_cache(None)
def node_trace():
    """The replay tool the browser build makes, under node, as one program
    that takes the native tool's arguments."""
    from webpage import built  # only for the tests that run it: it builds the page
    tool = os.path.join(tempfile.mkdtemp(prefix="zarn-node-trace-"), "zarn-trace")
    with open(tool, "w") as f:
        f.write(f'#!/bin/sh\nexec node {shlex.quote(built()[1])} "$@"\n')
    os.chmod(tool, 0o755)
    return tool


def read_bmp(path, palette=False):
    """An 8-bit BMP as rows of palette indices, top first (and its (r, g, b) palette)."""
    d = open(path, "rb").read()
    off, hdr, w, h = (int.from_bytes(d[i:i + 4], "little", signed=True) for i in (10, 14, 18, 22))
    assert d[28] == 8 and h > 0, path
    stride = (w + 3) & ~3
    rows = [d[o:o + w] for o in range(off + (h - 1) * stride, off - 1, -stride)]
    pal = [tuple(d[i + 2 - k] for k in range(3)) for i in range(14 + hdr, off, 4)]
    return (rows, pal) if palette else rows


def shot(folder, name):
    return read_bmp(os.path.join(folder, "shots", name + ".bmp"))


def region(img, x, y, w, h, px=1):
    """The w x h block at x, y as rows: of a picture given as rows, or of a
    screen given as one run of px-byte pixels, 320 to a row."""
    rows = ([img[(y + r) * 320 * px:(y + r + 1) * 320 * px] for r in range(h)]
            if isinstance(img, bytes) else img[y:y + h])
    return [row[px * x:px * (x + w)] for row in rows]


@functools.lru_cache(None)
def glyphs():
    """The font's glyphs from its source: code -> 8 rows of 8 ink flags."""
    out, rows, code = {}, [], None
    for line in open(os.path.join(os.path.dirname(__file__), "..", "data", "font.txt")):
        if line.startswith("char "):
            code, rows = int(line.split()[1]), []
        elif code is not None and line.strip() and line[0] in ".#":
            rows.append([c == "#" for c in line.strip()])
            if len(rows) == 8:
                out[code] = rows
    return out


def text_image(text, colour):
    """Eight rows of a text as the game draws it: opaque, 8 pixels a character."""
    return [bytes(colour if glyphs()[ord(ch)][y][x] else 0 for ch in text for x in range(8))
            for y in range(8)]


def dat(pack, *args):
    """The library's dat tool on a pack of the game's password."""
    return subprocess.run(["dat", pack, "-007", open(os.path.join(BUILD, "pack-password")).read(), *args], stdin=subprocess.DEVNULL, text=True,
                          capture_output=True, check=True, timeout=60, cwd=os.path.dirname(pack)).stdout


@functools.lru_cache(None)
def pack_names():
    return [l.split()[3] for l in dat(PACK, "-l").splitlines() if l.startswith("- ")]


@functools.lru_cache(None)
def picture(index):
    """Pack object `index` as exported by the dat tool."""
    out = os.path.join(tempfile.mkdtemp(prefix="zarn-objects-"), "p.bmp")
    dat(PACK, "-e", pack_names()[index], "-o", out)
    return read_bmp(out)


class Run:
    """One finished zarn-trace run."""

    def __init__(self, proc, folder):
        self.returncode, self.stderr, self.folder = proc.returncode, proc.stderr, folder
        self.lines = [state(l) for l in proc.stdout.splitlines() if l.strip()]
        self.passes = [l for l in self.lines if "pass" in l]
        self.last = self.lines[-1] if self.lines else None

    def sounds(self):
        return [l for l in self.lines if "sound" in l]

    def events(self):
        """Sound and message lines, each with the number of the pass they came in."""
        passes = accumulate((l.get("pass") for l in self.lines), lambda a, b: a if b is None else b)
        return [(n, l) for n, l in zip(passes, self.lines) if "sound" in l or "message" in l]


def trace(script, *options, folder=None, shots=False, tool=TRACE):
    """zarn-trace (or the tool given) on script lines in a folder (a fresh
    scratch one by default); with shots, @labels go to shot(folder, label)."""
    folder = folder or scratch()
    if shots:
        os.makedirs(os.path.join(folder, "shots"), exist_ok=True)
        options += ("--shots", "shots")
    proc = subprocess.run([tool, *options, "-"], input="\n".join(script) + "\n",
                          capture_output=True, text=True, cwd=folder, timeout=300)
    assert "runtime error" not in proc.stderr and "Sanitizer" not in proc.stderr, proc.stderr
    return Run(proc, folder)
