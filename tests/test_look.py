# SPDX-License-Identifier: MIT
"""The README's screenshots are the program's own frames: made again from
the current build, they must show the same pixels as the committed ones."""
import os
import subprocess
import sys
import tempfile

from zarn_test import BUILD

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def pixels(png):
    return subprocess.run(["convert", png, "rgb:-"], capture_output=True, check=True).stdout


def test_look_readme_screenshots_are_up_to_date():
    with tempfile.TemporaryDirectory(prefix="zarn-shots-") as out:
        subprocess.run([sys.executable, os.path.join(TOP, "tools", "screenshots.py"), BUILD, out],
                       check=True, capture_output=True, timeout=300)
        made = sorted(os.listdir(out))
        committed = os.path.join(TOP, "docs", "screenshots")
        assert made == sorted(os.listdir(committed)), made
        stale = [n for n in made if pixels(os.path.join(out, n)) != pixels(os.path.join(committed, n))]
        assert not stale, f"{stale} differ: run tools/screenshots.py and look at them"
