#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Soak: plays through `zarn-trace -` for a given number of game ticks, game
after game, with random keys and with the test suite's good player, and checks
on every pass that the state stays inside its bounds and that every barrel,
icon and figure the game draws lies on the 320x240 screen.

    tools/soak.py [--ticks N] [--seed N] [--build DIR]

Game ticks are counted (instruction-page ticks are not). The run ends by
choosing QUIT, so the program's own exit is checked too. Exit value 0 when
every pass held; otherwise the first broken rule and the pass it broke on.
"""
import argparse
import json
import os
import random
import shutil
import sys
import time

import catalogue
# The level table as the rules give it, the rungs and lanes as the game's
# layout has them (the replays check those against the rules).
from replay import (CARRIED, FREE, LANE_X, LANE_Y, LAYOUT, LEVELS, ROLLING, RUNG_Y, Driver,
                    good_bot, scratch)

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))

W, H = 320, 240
START_GAME, STARTING_LEVEL, INSTRUCTIONS, QUIT = 1, 2, 3, 4


class Broken(AssertionError):
    pass


def need(cond, what):
    if not cond:
        raise Broken(what)


def sizes():
    """The size each picture is drawn at, by pack index."""
    return {i: (w, h) for i, _, _, fit, w, h in catalogue.objects() if fit != "NONE"}


def on_screen(x, y, w, h):
    return x >= 0 and y >= 0 and x + w <= W and y + h <= H


def check_game_pass(s, size):
    """The bounds of a game's state and where its pictures are drawn, at the
    top of a pass of the game loop."""
    level, slots = s["level"], s["cur_params"][0]
    need(0 <= level <= 15 and s["cur_params"] == LEVELS[level], "level and its row")
    need(0 <= s["delivered"] <= 10 and 0 <= s["misses"] <= 14, "stack and lost row")
    need(0 <= s["score"] <= 9999 and s["score"] <= s["top_score"], "score")
    need(s["game_over"] in (0, 1) and 0 <= s["clear_countdown"] <= 200, "phase")
    need(not (s["game_over"] and s["clear_countdown"]), "game over during a level clear")
    need(1 <= s["ape_rung"] <= 7 and 0 <= s["ape_pose"] <= 7, "ape rung and pose")
    need(s["ape_y"] % 2 == 0 or s["game_over"], "ape height is even in play")
    need(0 <= s["carried"] <= slots, "carried slot")
    need(s["bonus_type"] in (0, 1, 2) and s["bonus_time_left"] <= 300, "bonus item")
    need(s["miss_frame"] in (0, 1) and all(f[1] in (0, 1) for f in s["flames"]), "flicker")
    carried = [i + 1 for i, b in enumerate(s["barrels"][:slots]) if b.state == CARRIED]
    need(carried == ([s["carried"]] if s["carried"] else []), "one carried barrel, the one held")
    need(all(b.state == FREE for b in s["barrels"][slots:]), "slots past the level's count are free")

    # The ape: fully on screen, but for its climb down from above at the start.
    y = s["ape_y"]
    if s["ape_sprite"] >= 0:
        w, h = size[s["ape_sprite"]]
        need(0 <= s["ape_sprite"] <= 7, "ape picture")
        if y < RUNG_Y[1]:
            need(y == RUNG_Y[0] + 2 * s["run_ticks"], f"ape above the screen at {y}")
        need(on_screen(LAYOUT.APE_X, max(y, 0), w, h), f"ape drawn off screen at y {y}")
    for i, (state, frame, x, by, dx, _, _, lane, sprite) in enumerate(s["barrels"][:slots]):
        if state == 0:
            continue
        need(1 <= state <= 5 and 0 <= frame <= 4 and 0 <= lane <= 7, f"barrel {i} fields")
        need(34 <= sprite <= 38 or sprite == -1 and state == ROLLING, f"barrel {i} picture {sprite}")
        w, h = size.get(sprite, (0, 0))
        if state == ROLLING:  # rolls in from past the edge, along its lane
            lo, hi = (LANE_X[lane], LAYOUT.STOP_X_LEFT) if dx > 0 else (LAYOUT.STOP_X_RIGHT, LANE_X[lane])
            need(by == LANE_Y[lane] and lo <= x <= hi, f"barrel {i} off its lane: {x},{by}")
            need(by >= 0 and by + h <= H, f"barrel {i} drawn off screen at y {by}")
        else:
            need(on_screen(x, by, w, h), f"barrel {i} ({state}) drawn off screen at {x},{by}")
    # The stack, the lost row and the bonus item stand at fixed places, on the
    # screen for every count the bounds above allow; the figures move.
    for f in s["flames"]:
        need(on_screen(f[0], LAYOUT.FIGURE_Y, *size[12]), f"bottom figure at x {f[0]}")


def check_pass(s, size):
    need(s["loop"] in ("prompt", "menu", "game", "instructions"), "loop")
    need(0 <= s["level"] <= 15 and (1 <= s["menu_cursor"] <= 4 or s["loop"] == "prompt"), "menu")
    need(s["tick_flag"] in (0, 1) and s["key_latch"] in (0, 1), "flags")
    if s["loop"] == "game":
        check_game_pass(s, size)


class Soak:
    """One zarn-trace run played pass by pass."""

    def __init__(self, ticks, seed):
        self.ticks, self.rng, self.size = ticks, random.Random(seed), sizes()
        self.game_ticks = self.passes = self.games = self.deepest = 0
        self.plan, self.held, self.policy = [], "", None

    def menu_line(self, s):
        """Moves the cursor to the plan's next item and chooses it, with a key
        release between presses (the menu acts when a key goes down)."""
        if self.held:
            return ""
        if not self.plan:
            if self.game_ticks >= self.ticks:
                self.plan = [QUIT]
            else:
                r = self.rng.random()
                extra = [STARTING_LEVEL] * self.rng.randrange(16) if r < 0.3 else []
                self.plan = extra + ([INSTRUCTIONS] if r > 0.9 else []) + [START_GAME]
        target = self.plan[0]
        if s["menu_cursor"] != target:
            return "UP" if s["menu_cursor"] > target else "DOWN"
        self.plan.pop(0)
        if target == START_GAME:
            self.games += 1
            self.policy = good_bot if self.rng.random() < 0.5 else self.random_keys
        return "ENTER"

    def random_keys(self, s):
        if self.rng.random() < 0.0002:
            return "ESC"
        return self.rng.choice(["", "UP", "DOWN", "LEFT", "RIGHT", "UP,LEFT", "DOWN,RIGHT"])

    def line(self, s):
        loop = s["loop"]
        if loop == "prompt":
            return ". 2" if s["pass"] % 2 else "."
        if loop == "menu":
            self.held = self.menu_line(s)
            return ". " + self.held
        if loop == "instructions":
            leave = self.rng.random() < 0.002
            return "T SPACE" if leave else "T"
        self.game_ticks += 1
        self.deepest = max(self.deepest, s["level"])
        if s["game_over"] and s["ape_y"] >= 200:
            return "T SPACE" if self.rng.random() < 0.05 else "T"
        if self.game_ticks >= self.ticks:
            return "T ESC"
        return "T " + self.policy(s)

    def run(self, d):
        s = d.read()
        while "pass" in s:
            self.passes += 1
            try:
                check_pass(s, self.size)
            except Broken as e:
                raise Broken(f"pass {s['pass']}: {e}\n{json.dumps(s)}") from None
            d.proc.stdin.write(self.line(s) + "\n")
            s = d.read()
        d.close()
        need(s.get("exit") == 0, f"the run did not end by QUIT: {s}")


def soak(ticks, seed=1, build=None):
    """Runs a soak in a scratch folder; returns the finished Soak."""
    build = os.path.abspath(build or os.path.join(TOP, "build"))
    run = Soak(ticks, seed)
    d = Driver(seed=seed, command=[os.path.join(build, "zarn-trace")],
               folder=scratch(os.path.join(build, "zarn.dat")))
    try:
        run.run(d)
        return run
    finally:
        d.proc.kill()
        shutil.rmtree(d.folder, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--ticks", type=int, default=1000000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--build", help="build folder holding zarn-trace and zarn.dat (default build/)")
    a = ap.parse_args()
    start = time.time()
    try:
        run = soak(a.ticks, a.seed, a.build)
    except Broken as e:
        print(f"soak: FAILED: {e}")
        return 1
    print(f"soak: {run.game_ticks} game ticks in {run.games} games, {run.passes} passes, "
          f"highest level index {run.deepest}, every pass in bounds "
          f"({time.time() - start:.0f} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
