# SPDX-License-Identifier: MIT
"""The resource pack: rebuilt from data/ elsewhere it must come out byte for
byte the same as the build's zarn.dat, and a broken source must stop the
build with an error that names the file."""
import os
import shutil
import subprocess
import tempfile

from zarn_test import BUILD, PACK

DATA = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "data")


def build_pack(source, work):
    """Both steps of the build's pack rule, with the programs the build found;
    (pack path or None, errors)."""
    cache = dict(l.strip().split("=", 1) for l in open(os.path.join(BUILD, "CMakeCache.txt"))
                 if l.startswith("ZARN_"))
    stage, out = os.path.join(work, "pack"), os.path.join(work, "zarn.dat")
    for cmd in ([os.path.join(BUILD, "data", "zarn_packtool"), source, stage],
                ["cmake", "-DDAT=" + cache["ZARN_DAT:FILEPATH"],
                 "-DSETARCH=" + cache["ZARN_SETARCH:FILEPATH"],
                 "-DPASSWORD=" + open(os.path.join(BUILD, "pack-password")).read(),
                 "-DSTAGE=" + stage, "-DOUTPUT=" + out, "-P", os.path.join(DATA, "make_pack.cmake")]):
        step = subprocess.run(cmd, capture_output=True, text=True, timeout=60)
        if step.returncode != 0:
            return None, step.stdout + step.stderr
    return out, ""


def test_pack_rebuilds_byte_identical():
    # A folder of another name and depth than the build's: a path that
    # leaked into the pack would show up as a difference.
    with tempfile.TemporaryDirectory(prefix="zarn-pack-rebuild-") as tmp:
        work = os.path.join(tmp, "some", "other", "place")
        os.makedirs(work)
        out, errors = build_pack(DATA, work)
        assert out, "rebuilding the pack failed:\n" + errors
        assert open(out, "rb").read() == open(PACK, "rb").read(), "the rebuilt pack differs"


def test_broken_art_row_stops_the_build():
    with tempfile.TemporaryDirectory(prefix="zarn-pack-broken-") as tmp:
        data = shutil.copytree(DATA, os.path.join(tmp, "data"))
        art = os.path.join(data, "art", "barrels.txt")
        lines = open(art).read().split("\n")
        # The first row of the first picture one pixel short.
        row = next(i for i, l in enumerate(lines) if l.startswith("image ")) + 1
        lines[row] = lines[row][:-1]
        open(art, "w").write("\n".join(lines))
        out, errors = build_pack(data, tmp)
        assert out is None and "barrels.txt" in errors, errors
