#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Takes the README's screenshots from the real program: zarn-trace drives
game_main headless with the built pack, a player's script and a fixed seed,
so the same sources give the same pictures.

    tools/screenshots.py [BUILD_DIR] [OUT_DIR]    (default: build docs/screenshots)

Writes title.png, play.png, clear.png, game-over.png and instructions.png,
each the 320x240 screen at twice its size. Needs ImageMagick's `convert`.
"""
import os
import subprocess
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("ZARN_BUILD", os.path.join(TOP, "build"))
if len(sys.argv) > 1:
    os.environ["ZARN_BUILD"] = os.path.abspath(sys.argv[1])
# Imported once ZARN_BUILD is set, which it reads; the player the tests use
# is the one that plays these games.
from replay import Driver, good_bot, idle, live  # noqa: E402


def busy(s):
    """Barrels rolling or waiting on both sides of the ladder while one rides
    with the ape and the lady's stack has started: the game at its busiest."""
    near = [b for _, b in live(s) if b[0] in (1, 2) and 0 <= b[2] <= 306]
    return (s["carried"] and s["delivered"] >= 3 and len(near) >= 4 and
            {b[4] > 0 for b in near} == {True, False})


def take(out):
    d = Driver("--no-sound", seed=11)
    d.send(". 2")
    d.send(".", "title")
    for line in (". DOWN", ". DOWN", ". ENTER"):
        d.send(line)
    assert d.s["loop"] == "instructions", d.s["loop"]
    for _ in range(240):  # into the second page, past its set-up
        d.tick()
    d.tick(label="instructions")
    d.send(". SPACE")
    # Back to the top, then a starting level with plenty of barrels.
    for line in [". UP", ". UP", ". DOWN"] + [". ENTER"] * 9 + [". UP", ". ENTER"]:
        d.send(line)
    assert d.s["loop"] == "game" and d.s["level"] == 9, d.s
    d.run(good_bot, busy, 20000)
    d.tick(label="play")
    d.run(good_bot, lambda s: s["clear_countdown"] == 120, 20000)
    d.tick(label="clear")
    d.run(idle, lambda s: s["game_over"] and s["ape_y"] == 200, 20000)
    for _ in range(8):
        d.tick()
    d.tick(label="game-over")
    d.tick("ESC")
    d.close()
    os.makedirs(out, exist_ok=True)
    for name in ("title", "instructions", "play", "clear", "game-over"):
        subprocess.run(["convert", os.path.join(d.folder, "shots", name + ".bmp"),
                        "-filter", "point", "-resize", "200%", "-strip",
                        "-define", "png:exclude-chunk=date,time", os.path.join(out, name + ".png")],
                       check=True)
        print(os.path.join(out, name + ".png"))


if __name__ == "__main__":
    take(os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else os.path.join(TOP, "docs", "screenshots"))
