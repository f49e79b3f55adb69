"""Whole games through zarn-trace, played by a driver that plays well and by
one that does nothing, with the game's invariants checked on every pass."""
import json
import os
import subprocess
import tempfile

from zarn_test import PACK, TRACE, scratch

RUNG_Y = [-32, 20, 40, 64, 100, 134, 170, 200]
LANE_X = [326, 326, -17, 326, -17, 326, -17, 326]
LANE_Y = [43, 87, 122, 122, 157, 157, 191, 191]
LANE_RUNG = [1, 3, 4, 4, 5, 5, 6, 6]
LEVELS = [[int(v) for v in row.split()] for row in (
    "2 150 100 30 30|4 150 100 30 30|6 100 100 30 30|6 100 100 25 25|7 80 75 25 25|"
    "8 80 75 20 20|8 80 75 20 20|10 60 75 20 20|11 60 50 20 20|12 60 50 20 20|14 50 50 15 15|"
    "16 50 50 15 15|16 50 40 15 15|18 40 40 15 10|18 40 40 15 10|19 20 40 15 10").split("|")]


class Driver:
    """Runs zarn-trace on standard input. Every line sent is followed by a
    tickless pass with no key held, whose state line is what the line left
    and whose @label takes the picture of that moment."""

    def __init__(self, *options, seed=1, folder=None, shots=False):
        self.folder = folder or scratch()
        if shots:  # screen pictures go to <folder>/shots
            os.mkdir(os.path.join(self.folder, "shots"))
            options += ("--shots", "shots")
        self.err = open(os.path.join(self.folder, "stderr.txt"), "w+")
        self.proc = subprocess.Popen([TRACE, "--seed", str(seed), *options, "-"], cwd=self.folder,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=self.err, text=True, bufsize=1)
        self.s, self.events = None, []

    def _read(self):
        for line in self.proc.stdout:
            d = json.loads(line)
            if "pass" in d or "exit" in d or "end" in d:
                return d
            self.events.append(d)
        self.err.seek(0)
        raise AssertionError("zarn-trace stopped: " + self.err.read())

    def send(self, line, label=None):
        """One script line; the state at the top of the next pass comes back."""
        self.prev = self.s
        self.proc.stdin.write(f"{line}\n. {'@' + label if label else ''}\n")
        self._read()
        self.events = []
        self.s = self._read()
        return self.s

    def tick(self, keys="", label=None):
        return self.send("T " + keys, label)

    def sounds(self):
        return [(e["sound"], e["sample"]) for e in self.events if "sound" in e]

    def start(self, level_presses=0):
        """Window mode, 'STARTING LEVEL:' chosen n times, then a game."""
        self.send(". 2")
        if level_presses:
            for line in [". DOWN"] + [". ENTER"] * level_presses + [". UP"]:
                self.send(line)
        self.send(". ENTER")
        assert self.s["loop"] == "game", self.s["loop"]

    def run(self, policy, until, limit, check=None):
        """Ticks with the keys policy(state) gives until until(state) holds."""
        for _ in range(limit):
            if until(self.s):
                return
            self.tick(policy(self.s))
            if check:
                check(self)
        raise AssertionError(f"not reached in {limit} ticks: {self.s}")

    def close(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=60)
        self.err.seek(0)
        err = self.err.read()
        assert "runtime error" not in err and "Sanitizer" not in err, err


def bmp(path):
    """Pixel rows of an 8-bit BMP (stored bottom-up, rows padded to 4 bytes)."""
    d = open(path, "rb").read()
    off, w, h = (int.from_bytes(d[i:i + 4], "little") for i in (10, 18, 22))
    assert d[28] == 8
    return [list(d[off + (h - 1 - y) * ((w + 3) & ~3):][:w]) for y in range(h)]


def shot(d, name):
    """A screen picture, taken at the top of the spacer pass that followed
    the line it was asked for with."""
    return bmp(os.path.join(d.folder, "shots", name + ".bmp"))


_pictures = {}


def picture(index):
    """Pack object `index`, exported by the library's dat tool."""
    if index not in _pictures:
        dat = ["dat", "-007", "qev"]
        listing = subprocess.run(dat + ["-l", PACK], capture_output=True, text=True).stdout
        names = [l.split()[3] for l in listing.splitlines() if l.startswith("- ")]
        out = os.path.join(tempfile.mkdtemp(), "p.bmp")
        subprocess.run(dat + ["-x", PACK, names[index], "-o", out], capture_output=True,
                       timeout=30, check=True)
        _pictures[index] = bmp(out)
    return _pictures[index]


def region(img, x, y, w, h):
    return [row[x:x + w] for row in img[y:y + h]]


def live(s):
    return [(i, b) for i, b in enumerate(s["barrels"][:s["cur_params"][0]]) if b[0] > 0]


def idle(s):
    return ""


def toward(rung, target):
    return "UP" if target < rung else "DOWN" if target > rung else ""


class GoodBot:
    """Grabs the barrel that can be reached in time and runs out soonest,
    hands it over on rung 2, and fetches a bonus item when nothing presses."""

    def __init__(self, bonus=True):
        self.bonus = bonus

    def plan(self, s, y):
        _, _, wait, roll, _ = s["cur_params"]
        best = None
        for _, (state, _, x, _, dx, step, left, lane, _) in live(s):
            if state == 1:  # ticks to its arrival, then its wait
                ready = step + (abs((123 if dx > 0 else 186) - x) // 10 - 1) * (roll + 1)
                last = ready + wait - 1
            elif state == 2:
                ready, last = 0, left - 1
            else:
                continue
            rung = LANE_RUNG[lane]
            grab = max(ready, abs(y - RUNG_Y[rung]) // 2)
            if grab <= last and (best is None or (last, grab) < best[:2]):
                best = (last, grab, rung, ready, "LEFT" if dx > 0 else "RIGHT")
        return best

    def __call__(self, s):
        y, rung = s["ape_y"], s["ape_rung"]
        if s["game_over"] or s["clear_countdown"] or s["key_latch"] or y != RUNG_Y[rung]:
            return ""  # keys are read only on the target rung
        if s["carried"]:
            return toward(rung, 2) or "LEFT"
        best = self.plan(s, y)
        if self.bonus and s["bonus_type"] and s["bonus_time_left"] >= (200 - y) // 2:
            if best is None or max(best[3], (400 - y - RUNG_Y[best[2]]) // 2) <= best[0]:
                return "DOWN"
        if best is None:
            return ""
        return toward(rung, best[2]) or (best[4] if best[3] == 0 else "")


def check_pass(d):
    """Invariants that hold on every pass of a game."""
    s = d.s
    if s["loop"] != "game":
        return
    assert 0 <= s["misses"] <= 14 and 0 <= s["delivered"] <= 10 and 1 <= s["ape_rung"] <= 7, s
    for i, (state, _, x, y, dx, _, _, lane, _) in live(s):
        where = {1: y == LANE_Y[lane], 2: y == LANE_Y[lane], 4: y == 63,
                 5: LANE_Y[lane] <= y <= 212, 3: s["game_over"] or
                 ((x, y) == (137 + 17, s["ape_y"] + 20) and s["carried"] == i + 1)}
        assert -17 <= x <= 326 and where[state] and dx == (10 if LANE_X[lane] < 0 else -10), (i, s)


def game_over_and_menu(d, level):
    """From the last barrel lost: the fall, the box, a key ends the game, and
    the next game starts at the level reached."""
    assert d.s["game_over"] == 1 and d.s["misses"] == 14
    fell, before, poses = d.s["ape_y"] < 200, d.s["ape_pose"], []
    while d.s["ape_y"] < 200:
        y = d.s["ape_y"]
        d.tick("A" if y % 16 == 0 else "", "fell")  # presses during the fall are dropped
        assert (d.s["ape_y"], d.s["ape_pose"], d.s["run_active"]) == (y + 1, 7, 1)
        before = 7
    for k in range(30):
        d.tick("", "box" if k == 0 else None)
        assert d.s["run_active"] == 1 and d.s["ape_y"] == 200
        poses.append(d.s["ape_pose"])
    first = next(k for k, p in enumerate(poses) if p in (5, 6))  # every sixth tick
    assert poses == [before] * first + [(5, 6)[k // 6 % 2] for k in range(30 - first)], poses
    score, best, top = d.s["score"], d.s["hiscore"], d.s["top_score"]
    d.tick("SPACE")
    assert d.s["loop"] == "menu" and d.s["run_active"] == 0 and d.s["level"] == level
    assert d.s["hiscore"] == (top if score > best else best)
    d.send(". ENTER")
    assert d.s["level"] == level and d.s["cur_params"] == LEVELS[level]
    d.close()
    box = lambda img: region(img, 124, 97, 73, 15)  # only once the ape lies at the bottom
    assert not fell or box(shot(d, "fell")) == box(picture(15))
    assert {c for r in box(shot(d, "box")) for c in r} == {0, 42}


def test_bots_good_bot_reaches_level_five():
    d = Driver("--no-sound", seed=7, shots=True)
    d.start()
    clears = collected = 0

    def watch(d):
        nonlocal clears, collected
        check_pass(d)
        clears += d.s["clear_countdown"] == 200
        collected += d.prev["bonus_type"] > 0 and d.s["score"] >= d.prev["score"] + 100
    d.run(GoodBot(), lambda s: s["level"] == 4 and s["clear_countdown"] == 0, 20000, watch)
    assert clears == 4 and collected >= 1, (clears, collected)
    d.run(idle, lambda s: s["game_over"], 5000, check_pass)
    game_over_and_menu(d, 4)


def test_bots_idle_bot_loses():
    d = Driver("--no-sound", seed=3, shots=True)
    d.start()
    d.run(idle, lambda s: s["game_over"], 10000, check_pass)
    assert d.s["score"] == 0 and d.s["ape_y"] == 20
    game_over_and_menu(d, 0)
