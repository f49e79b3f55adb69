# SPDX-License-Identifier: MIT
"""The game in a real window under an Xvfb of the tests' own: started the way
the README's play path starts it, keys through xdotool, and its picture read
back and compared with what the pack and zarn-trace say it must show."""
import contextlib
import ctypes
import functools
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from zarn_test import (BUILD, LANE_RUNG, LANE_X, LANE_Y, RUNG_Y, picture, read_bmp, region,
                       scratch, text_image, trace)

ARTEFACTS = os.path.join(BUILD, "artefacts", "session")
# A best score of 2570 from an earlier session: both its 0A bytes stored as
# 0D 0A, and a stray byte after the value that the next save must drop.
EARLIER = b"\x0d\x0a\x0d\x0a\x00\x00\xff"
SAVED = b"\x0d\x0a\x0d\x0a\x00\x00"
# The prompt's own colours: black, white and the heading's blue.
PROMPT_RGB = {0: b"\0\0\0", 1: b"\xff\xff\xff", 2: b"\x00\xb2\xff"}
# Replays to the title and to an instruction page, for their pictures.
TO_TITLE = [". 2", ".", ". @title"]
TO_INSTRUCTIONS = [". 2", ". DOWN", ".", ". DOWN", ". @title3", ". ENTER", "T x40", "T @page"]
# ZARN_DISPLAYS=FIRST-LAST gives another range, for runs beside the suite's.
_FIRST, _LAST = os.environ.get("ZARN_DISPLAYS", "70-89").split("-")
DISPLAYS = range(int(_FIRST), int(_LAST) + 1)
APE_X = 137
# Where a barrel of each lane waits, and the reach that grabs it there.
WAIT_X = [123 if x < 0 else 186 for x in LANE_X]
REACH = ["Left" if x < 0 else "Right" for x in LANE_X]


def start_game(folder, env, **how):
    """The game as the README's play path starts it: the build tree's
    launcher, with the player's data directory being `folder`, which holds
    the high-score file (the launcher links the pack in)."""
    data_home = tempfile.mkdtemp(prefix="zarn-data-home-")
    os.symlink(folder, os.path.join(data_home, "zarn"))
    return subprocess.Popen([os.path.join(BUILD, "packaging", "zarn")], cwd="/",
                            env=dict(env, XDG_DATA_HOME=data_home), **how)


@contextlib.contextmanager
def xserver(size="1024x768", depth=24):
    """An Xvfb of our own, and an environment whose programs reach it. Without
    xmessage on the path an error lands on stderr instead of in a box that
    waits for a click. It keeps its monitors when the last client leaves."""
    n = next((n for n in DISPLAYS if not os.path.exists(f"/tmp/.X{n}-lock")), None)
    assert n is not None, "every display number of ours is taken"
    proc = subprocess.Popen(["Xvfb", f":{n}", "-noreset", "-screen", "0", f"{size}x{depth}", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                break
            time.sleep(0.05)
        yield dict(os.environ, DISPLAY=f":{n}", PATH="/usr/sbin:/usr/bin:/sbin:/bin", XVFB_PID=str(proc.pid))
    finally:
        proc.terminate()
        proc.wait()
        # A server killed by a test leaves its lock and socket behind.
        with contextlib.suppress(OSError, ValueError):
            if int(open(f"/tmp/.X{n}-lock").read()) == proc.pid:
                for path in (f"/tmp/.X11-unix/X{n}", f"/tmp/.X{n}-lock"):
                    with contextlib.suppress(FileNotFoundError):
                        os.remove(path)


def set_monitors(env, *monitors):
    """Monitors (x, y, w, h) on the one X screen, as desktops of several have
    them, in place of those set before."""
    listed = subprocess.run(["xrandr", "--listmonitors"], env=env, capture_output=True, text=True).stdout
    for name in re.findall(r"^ *\d+: (\w+) ", listed, re.M):  # not Xvfb's own, "+screen"
        subprocess.run(["xrandr", "--delmonitor", name], env=env, check=True)
    for i, (x, y, w, h) in enumerate(monitors):
        subprocess.run(["xrandr", "--setmonitor", f"M{i}", f"{w}/{w}x{h}/{h}+{x}+{y}", "none"], env=env, check=True)


@functools.lru_cache(None)
def game_rgb():
    """The game palette as the screen shows it: each 6-bit component c, held
    as c << 2 in a shot's palette, appears as (c << 2) | (c >> 4)."""
    folder = trace([". 2", ". @p"], shots=True).folder
    _, pal = read_bmp(os.path.join(folder, "shots", "p.bmp"), palette=True)
    return [bytes((c & ~3) | (c >> 6) for c in p) for p in pal]


def as_screen(rows, rgb=None):
    """Rows of palette indices as the screen's RGB bytes."""
    rgb = rgb or game_rgb()
    return b"".join(rgb[i] for row in rows for i in row)


@functools.lru_cache(None)
def traced(script, hiscore=None):
    """zarn-trace's pictures for a script, as screen bytes by label."""
    folder = trace(list(script), shots=True, folder=scratch(hiscore=hiscore)).folder
    return {name[:-4]: as_screen(read_bmp(os.path.join(folder, "shots", name)))
            for name in os.listdir(os.path.join(folder, "shots"))}


def shows_text(img, x, y, text, colour, rgb=None):
    return b"".join(region(img, x, y, 8 * len(text), 8, 3)) == as_screen(text_image(text, colour), rgb)


def number_at(img, x, y, digits=4):
    """The number the status line shows at x, or None where a cell is no digit."""
    value = 0
    for k in range(digits):
        cell = b"".join(region(img, x + 8 * k, y, 8, 8, 3))
        d = next((d for d in range(10) if cell == as_screen(text_image(str(d), 42))), None)
        if d is None:
            return None
        value = 10 * value + d
    return value


def prompt_heading(img):
    return shows_text(img, 116, 96, "Choose Mode", 2, PROMPT_RGB)


def prompt_shown(img):
    """The mode prompt whole: its heading and both choices."""
    return (prompt_heading(img) and shows_text(img, 104, 112, "1 - Fullscreen", 1, PROMPT_RGB)
            and shows_text(img, 104, 120, "2 - Window", 1, PROMPT_RGB))


def check_game_start(img, expected, best):
    assert shows_text(img, 16, 0, "Score:0000", 42) and shows_text(img, 240, 0, "Level:01", 42)
    assert number_at(img, 160, 0) == best, number_at(img, 160, 0)
    # Barrels and flames differ from the replay's; the playfield may not.
    same = sum(img[i:i + 3] == expected[i:i + 3] for i in range(0, len(img), 3))
    assert same > 0.8 * 320 * 240, f"only {same} pixels match the playfield"


@functools.lru_cache(None)
def opaque(index):
    """The pixels a masked picture draws: (dx, dy, colour index)."""
    return [(x, y, c) for y, row in enumerate(picture(index)) for x, c in enumerate(row) if c]


def drawn_at(img, index, x, y):
    """The share of the picture's drawn pixels the screen shows at x, y."""
    px, rgb = opaque(index), game_rgb()
    hits = sum(img[((y + dy) * 320 + x + dx) * 3:((y + dy) * 320 + x + dx) * 3 + 3] == rgb[c]
               for dx, dy, c in px if 0 <= y + dy < 240 and 0 <= x + dx < 320)
    return hits / len(px)


def ape_rung(img):
    """The rung the ape stands on, or None while it climbs (a carried barrel
    may cover part of it)."""
    for rung in range(1, 8):
        if any(drawn_at(img, pose, APE_X, RUNG_Y[rung]) > 0.7 for pose in (2, 3, 4, 0, 1)):
            return rung
    return None


def waiting_lanes(img):
    """Lanes with a barrel standing at its waiting place. A falling barrel
    passes such a place too, but for one tick only."""
    return [lane for lane in range(8)
            if any(drawn_at(img, 34 + f, WAIT_X[lane], LANE_Y[lane]) == 1 for f in range(4))]


def enlarged(ppm):
    """The game's 320x240 picture in a PPM of a screen that shows it k times
    enlarged, centred, k as large as fits: (the picture, the screen's RGB
    bytes, its size, k). Every k x k block must be of one colour."""
    w, h = (int(v) for v in ppm.split()[1:3])
    screen, k = ppm[len(ppm) - 3 * w * h:], min(w // 320, h // 240)
    x0, y0 = (w - 320 * k) // 2 * 3, (h - 240 * k) // 2
    at, out = [(y0 + y) * w * 3 + x0 for y in range(240 * k)], []
    rows = [screen[a:a + 960 * k] for a in at]
    for y in range(240):
        px = [rows[y * k][i:i + 3] for i in range(0, 960 * k, 3 * k)]
        assert rows[y * k:y * k + k] == [b"".join(p * k for p in px)] * k, f"row {y}: not {k}x{k} blocks"
        out += px
    return b"".join(out), screen, (w, h), k


class Face:
    """What the game's window and its page share. Each presses keys, grabs
    and keeps pictures its own way (press, grab, keep), and holds the
    process it drives in proc and its run's name in run."""

    def wait_for(self, test, limit=10.0, what=""):
        end = time.time() + limit
        while time.time() < end:
            img = self.grab()
            if test(img):
                return img
            time.sleep(0.03)
        self.keep("timeout")
        raise AssertionError(f"{self.run}: not seen within {limit} s: {what}")

    def quit(self):
        """Esc, then QUIT from the title menu's first item."""
        self.press("Escape")
        for name in ("Down", "Down", "Down", "Return"):
            self.press(name)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class Window(Face):
    """The game's window: keys into it, its picture out of it."""

    def __init__(self, env, folder, run, preload=None, full=False, command=None, dead_pipe=False, ignored=()):
        """The game started in folder by start_game, or by command there;
        its screenshots are kept in ARTEFACTS/run. With dead_pipe its output
        goes to a pipe whose reader has gone; the signals in ignored are
        ignored from its start, as a script's `zarn &` has QUIT and INT."""
        self.env, self.folder, self.run, self.kept = env, folder, run, 0
        self.others = self.windows()  # other games' windows, or Wine's
        env = dict(env, LD_PRELOAD=preload) if preload else env
        how = dict(stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                   preexec_fn=lambda: [signal.signal(s, signal.SIG_IGN) for s in ignored])
        if dead_pipe:
            reader, how["stdout"] = os.pipe()
            os.close(reader)
            how["stderr"] = how["stdout"]
        self.started_ns = time.monotonic_ns()  # the program's start, for the benchmark
        self.proc = (subprocess.Popen(command, cwd=folder, env=env, **how) if command
                     else start_game(folder, env, **how))
        if dead_pipe:
            os.close(how["stdout"])
        self.find(full)
        self.dir = os.path.join(ARTEFACTS, run)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)

    def find(self, full=False):
        """The game's picture: its own window, or in full screen the middle
        of the screen, or of the monitor (x, y, w, h) given, where an unnamed
        window of its size shows it."""
        self.full, self.crop = full, ["-crop", "{2}x{3}+{0}+{1}".format(*full)] if isinstance(full, tuple) else []
        if full:
            self.wid = "root"
            return
        end = time.time() + 60
        while not (new := self.windows() - self.others):
            assert time.time() < end, f"{self.run}: no window"
            time.sleep(0.1)
        self.wid = max(new, key=int)

    def windows(self):
        # A window that goes away while xdotool looks (Wine makes and drops
        # some at start) ends its search with an error: the next look tells.
        return set(subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^ZARN$"], env=self.env,
                                  capture_output=True, text=True, timeout=60).stdout.split())

    def grab(self):
        """The game's 320x240 picture: the window holds it whole, full
        screen centred."""
        for _ in range(50):  # a new window may not be mapped yet
            ppm = subprocess.run(["import", "-window", self.wid, *self.crop, "-depth", "8", "ppm:-"],
                                 env=self.env, capture_output=True).stdout
            if ppm:
                break
            time.sleep(0.05)
        img, self.screen, self.size, self.k = enlarged(ppm)
        return img

    def close(self):
        """What a window manager sends when the window's close button is
        pressed: a client message (type 33, serial, send_event, display,
        window, message type, format, data) of WM_PROTOCOLS, WM_DELETE_WINDOW."""
        x, p = ctypes.CDLL("libX11.so.6"), ctypes.c_void_p
        x.XOpenDisplay.restype, x.XInternAtom.restype = p, ctypes.c_ulong
        d = p(x.XOpenDisplay(self.env["DISPLAY"].encode()))
        wid = int(subprocess.run(["xdotool", "search", "--name", "^ZARN$"], env=self.env,
                                 capture_output=True, text=True).stdout.split()[-1])
        atoms = [x.XInternAtom(d, name, 0) for name in (b"WM_PROTOCOLS", b"WM_DELETE_WINDOW")]
        x.XSendEvent(d, ctypes.c_ulong(wid), 0, ctypes.c_long(0), (ctypes.c_long * 24)(33, 0, 1, 0, wid, atoms[0], 32, atoms[1]))
        x.XCloseDisplay(d)

    def keep(self, name):
        """The window as it is now, kept as an artefact; its picture returned."""
        self.kept += 1
        img = self.grab()
        subprocess.run(["import", "-window", self.wid, *self.crop, os.path.join(self.dir, f"{self.kept:02}_{name}.png")],
                       env=self.env, check=True)
        return img

    def press(self, name, hold=0.25, settle=0.4):
        # A quick tap can be missed by the key array, though the buffer sees it.
        # Focus follows the pointer: no window manager runs.
        where = ["512", "384"] if self.full else ["--window", self.wid, "5", "5"]
        subprocess.run(["xdotool", "mousemove", *where, "keydown", name,
                        "sleep", f"{hold:.3f}", "keyup", name, "sleep", f"{settle:.3f}"],
                       env=self.env, check=True)

    def quit_from_game(self):
        """quit, then the exit value and stderr."""
        self.quit()
        return self.finish()

    def finish(self, timeout=30):
        code = self.proc.wait(timeout=timeout)
        err = self.proc.stderr.read().decode(errors="replace") if self.proc.stderr else ""
        return code, err


def climb(win, frm, to):
    """Holds Up or Down for as long as it takes to pass the rungs between and
    lets go before the ape reaches the last one: it reads the keys only
    while it stands on a rung, two pixels a tick."""
    step = 1 if to > frm else -1
    before = abs(RUNG_Y[to - step] - RUNG_Y[frm]) // 2 if to - step != frm else 0
    at = abs(RUNG_Y[to] - RUNG_Y[frm]) // 2
    win.press("Down" if step > 0 else "Up", hold=max(0.06, (before + at) / 2 * 0.02), settle=0)
    win.wait_for(lambda img: ape_rung(img) is not None, 4, "the ape on a rung")


def play_to_first_handover(win, limit=60):
    """Grabs whichever waiting barrel is nearest and hands it to the lady on
    rung 2, watching the screen, until the status line shows its 10 points."""
    end = time.time() + limit
    while time.time() < end:
        img = win.grab()
        if number_at(img, 64, 0) == 10:
            return img
        rung = ape_rung(img)
        if rung is None:
            continue
        if drawn_at(img, 38, APE_X + 17, RUNG_Y[rung] + 20) == 1:  # carried
            if rung != 2:
                climb(win, rung, 2)
            else:
                win.press("Left", hold=0.1, settle=0.05)
            continue
        lanes = waiting_lanes(img)
        if not lanes:
            time.sleep(0.03)
            continue
        lane = min(lanes, key=lambda lane: abs(LANE_RUNG[lane] - rung))
        if LANE_RUNG[lane] != rung:
            climb(win, rung, LANE_RUNG[lane])
        else:
            win.press(REACH[lane], hold=0.1, settle=0.05)
    win.keep("timeout")
    raise AssertionError("no barrel handed over in time")


def play_a_handover_and_back(face, game, title):
    """From the title: a game started, one barrel handed over, Esc back to
    the title, on a real window or the page alike."""
    face.press("Return", settle=0.1)
    check_game_start(face.keep("game_start"), game, 2570)
    play_to_first_handover(face)
    face.keep("handed_over")
    face.press("Escape")
    assert face.keep("title_after_game") == title
