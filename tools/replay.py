# SPDX-License-Identifier: MIT
"""zarn-trace on a pipe, driven from Python by the tools that play through it
(soak, screenshots) and by the tests: a scratch folder holding the built pack,
the game's tables and a good player; and the other systems' build scripts,
run for what they made."""
import fcntl
import json
import os
import shutil
import subprocess
import tempfile
from collections import namedtuple

import catalogue

BUILD = os.environ.get("ZARN_BUILD", os.path.join(os.path.dirname(__file__), "..", "build"))
# Replays run on the sanitizer build when there is one.
TRACE_BUILD = os.environ.get("ZARN_TRACE_BUILD", BUILD)
TRACE = os.path.join(TRACE_BUILD, "zarn-trace")
PACK = os.path.join(BUILD, "zarn.dat")

# The level table (barrel slots, spawn base, stop wait, roll delay, deliver
# delay) as the game's rules give it. It is the same table as src/core's,
# value for value, and written out again on purpose: the replays compare the
# game's rows with it, and a table read from the code could not catch a slip
# in the code.
LEVELS = [[int(v) for v in row.split()] for row in (
    "2 150 100 30 30|4 150 100 30 30|6 100 100 30 30|6 100 100 25 25|7 80 75 25 25|"
    "8 80 75 20 20|8 80 75 20 20|10 60 75 20 20|11 60 50 20 20|12 60 50 20 20|14 50 50 15 15|"
    "16 50 50 15 15|16 50 40 15 15|18 40 40 15 10|18 40 40 15 10|19 20 40 15 10").split("|")]
# Where the rungs and lanes are, read from the game's layout: the player goes
# there and the tests look there. The replays check the places through the
# rules instead (the climb from above the screen, fourteen rolls of 10 to the
# stops, the fall from each lane's y).
LAYOUT = catalogue.layout()
RUNG_Y, LANE_X, LANE_Y, LANE_RUNG = LAYOUT.rung_y, LAYOUT.lane_x, LAYOUT.lane_y, LAYOUT.lane_rung
# A barrel slot as zarn-trace prints it, and its states.
Barrel = namedtuple("Barrel", "state frame x y dx step wait lane sprite")
FREE, ROLLING, WAITING, CARRIED, TRAVELLING, FALLING = range(6)


def built_by(script):
    """What a build script of tools/ prints, one line each (its last lines
    are the paths it made); quick once the library it builds is built. One
    run at a time, however many ask side by side."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), script)
    with open(path) as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        out = subprocess.run([path], capture_output=True, text=True, timeout=1800)
    assert out.returncode == 0, out.stdout[-2000:] + out.stderr[-2000:]
    return out.stdout.splitlines()


def to_game(level=0):
    """Window mode, 'STARTING LEVEL:' chosen `level` times, then a game."""
    steps = [". DOWN", "."] + [". ENTER", "."] * level + [". UP", "."] if level else []
    return [". 2", *steps, ". ENTER"]


def state(line):
    """One line of zarn-trace's output, its barrels as Barrels."""
    d = json.loads(line)
    if "barrels" in d:
        d["barrels"] = [Barrel(*b) for b in d["barrels"]]
    return d


def scratch(pack=PACK, hiscore=None):
    """A fresh folder holding the built pack (or another, or none) and, if
    given, hiscore bytes."""
    folder = tempfile.mkdtemp(prefix="zarn-test-")
    if pack:
        shutil.copy(pack, os.path.join(folder, "zarn.dat"))
    if hiscore is not None:
        open(os.path.join(folder, "hiscore.zrn"), "wb").write(hiscore)
    return folder


class Driver:
    """zarn-trace on a pipe. Every line sent is followed by a tickless pass with
    no key held, whose state line is what the line left and whose @label takes
    the picture of that moment. (A program may also write its own lines and
    read what follows each.) command runs the tool: TRACE, or another
    build of it, or it under another program."""

    def __init__(self, *options, seed=1, folder=None, command=None):
        self.folder = folder or scratch()
        os.mkdir(os.path.join(self.folder, "shots"))
        self.err = open(os.path.join(self.folder, "stderr.txt"), "w")
        command = command or [TRACE]
        self.proc = subprocess.Popen([*command, "--seed", str(seed), "--shots", "shots", *options, "-"],
                                     cwd=self.folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=self.err, text=True, bufsize=1)
        self.s, self.sent = None, 0

    def read(self):
        """To the next pass line, or the last line; the sound and message lines before it in events."""
        self.events = []
        for out in self.proc.stdout:
            d = state(out)
            if "pass" in d or "exit" in d or "end" in d:
                return d
            self.events.append(d)
        raise AssertionError("zarn-trace stopped: " + open(self.err.name).read())

    def send(self, line, label=None):
        """One script line; the state it left comes back, its pass's sound and message lines in events."""
        self.sent += 1
        assert self.sent <= 50000, "a game that never gets where it should"  # rather than wait forever
        self.prev = self.s
        self.proc.stdin.write(f"{line}\n. {'@' + label if label else ''}\n")
        self.read()  # the line's own pass line, then the spacer's
        self.s = self.read()
        return self.s

    def tick(self, keys="", label=None):
        return self.send("T " + keys, label)

    def sounds(self):
        return [(e["sound"], e["sample"]) for e in self.events if "sound" in e]

    def start(self, level_presses=0):
        for line in to_game(level_presses):
            if line != ".":  # each send is followed by a pass like it
                self.send(line)
        assert self.s["loop"] == "game", self.s["loop"]

    def run(self, policy, until, limit, check=None):
        """Ticks with the keys policy(state) gives until until(state) holds;
        check(state before, state after) on each."""
        for _ in range(limit):
            if until(self.s):
                return
            self.tick(policy(self.s))
            if check:
                check(self.prev, self.s)
        raise AssertionError(f"not reached in {limit} ticks: {self.s}")

    def close(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=60)
        err = open(self.err.name).read()
        assert "runtime error" not in err and "Sanitizer" not in err, err


def live(s):
    """The live barrels among the level's slots, with their slot numbers."""
    return [(i, b) for i, b in enumerate(s["barrels"][:s["cur_params"][0]]) if b.state != FREE]


def idle(s):
    return ""


def reach(b):
    """The key that grabs a barrel where it waits: towards where it came from."""
    return "LEFT" if b.dx > 0 else "RIGHT"


def toward(rung, target):
    return "UP" if target < rung else "DOWN" if target > rung else ""


def plan(s, y):
    """(last tick of its wait, tick it can be grabbed, its rung, ticks until it
    waits, the reach) of the barrel that can be grabbed in time and runs out
    soonest, for an ape at height y."""
    _, _, wait, roll, _ = s["cur_params"]
    best = None
    for _, b in live(s):
        if b.state == ROLLING:  # ticks to its arrival, then its wait
            stop = LAYOUT.STOP_X_LEFT if b.dx > 0 else LAYOUT.STOP_X_RIGHT
            ready = b.step + (abs(stop - b.x) // 10 - 1) * (roll + 1)
            last = ready + wait - 1
        elif b.state == WAITING:
            ready, last = 0, b.wait - 1
        else:
            continue
        rung = LANE_RUNG[b.lane]
        grab = max(ready, abs(y - RUNG_Y[rung]) // 2)
        if grab <= last and (best is None or (last, grab) < best[:2]):
            best = (last, grab, rung, ready, reach(b))
    return best


def good_bot(s, bonus=True):
    """Grabs the barrel that can be reached in time and runs out soonest,
    hands it over on rung 2, and fetches a bonus item when nothing presses."""
    y, rung = s["ape_y"], s["ape_rung"]
    if s["game_over"] or s["clear_countdown"] or s["key_latch"] or y != RUNG_Y[rung]:
        return ""  # keys are read only on the target rung
    if s["carried"]:
        return toward(rung, 2) or "LEFT"
    best = plan(s, y)
    if bonus and s["bonus_type"] and s["bonus_time_left"] >= (200 - y) // 2:
        if best is None or max(best[3], (400 - y - RUNG_Y[best[2]]) // 2) <= best[0]:
            return "DOWN"
    return "" if best is None else toward(rung, best[2]) or (best[4] if best[3] == 0 else "")
