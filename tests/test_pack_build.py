# SPDX-License-Identifier: MIT
"""The resource pack, rebuilt from data/ elsewhere by both steps of the
build's pack rule, with the programs the build found, must come out byte for
byte the same as the build's zarn.dat."""
import os
import subprocess
import tempfile

from zarn_test import BUILD, PACK

DATA = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "data")


def test_pack_rebuilds_byte_identical():
    cache = dict(l.strip().split("=", 1) for l in open(os.path.join(BUILD, "CMakeCache.txt"))
                 if l.startswith("ZARN_"))
    # A folder of another name and depth than the build's: a path that
    # leaked into the pack would show up as a difference.
    with tempfile.TemporaryDirectory(prefix="zarn-pack-rebuild-") as tmp:
        stage, out = os.path.join(tmp, "some", "other", "pack"), os.path.join(tmp, "some", "zarn.dat")
        for cmd in ([os.path.join(BUILD, "data", "zarn_packtool"), DATA, stage],
                    ["cmake", "-DDAT=" + cache["ZARN_DAT:FILEPATH"], "-DSETARCH=" + cache["ZARN_SETARCH:FILEPATH"],
                     "-DPASSWORD=" + open(os.path.join(BUILD, "pack-password")).read(), "-DSTAGE=" + stage,
                     "-DOUTPUT=" + out, "-P", os.path.join(DATA, "make_pack.cmake")]):
            step = subprocess.run(cmd, capture_output=True, text=True, timeout=60)
            assert step.returncode == 0, step.stdout + step.stderr
        assert open(out, "rb").read() == open(PACK, "rb").read(), "the rebuilt pack differs"
