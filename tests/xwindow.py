# SPDX-License-Identifier: MIT
"""What the tests ask of the game in a real window (tools/window.py) or in
the page: its picture held to the pack's and zarn-trace's, and a barrel
handed over by watching the screen."""
import functools
import os
import re
import subprocess
import time
from types import SimpleNamespace

from window import Window, xserver  # noqa: F401
from zarn_test import (LANE_RUNG, LANE_X, LANE_Y, LAYOUT, RUNG_Y, picture, read_bmp, region, scratch, shot,
                       text_image, trace)

# A best score of 2570 from an earlier session: both its 0A bytes stored as
# 0D 0A, and a stray byte after the value that the next save must drop.
EARLIER = b"\x0d\x0a\x0d\x0a\x00\x00\xff"
SAVED = b"\x0d\x0a\x0d\x0a\x00\x00"
# The prompt's own colours: black, white and the heading's blue.
PROMPT_RGB = {0: b"\0\0\0", 1: b"\xff\xff\xff", 2: b"\x00\xb2\xff"}
APE_X = LAYOUT.APE_X
# Where a barrel of each lane waits, and the reach that grabs it there.
WAIT_X = [LAYOUT.STOP_X_LEFT if x < 0 else LAYOUT.STOP_X_RIGHT for x in LANE_X]
REACH = ["Left" if x < 0 else "Right" for x in LANE_X]


def set_monitors(env, *monitors):
    """Monitors (x, y, w, h) on the one X screen, in place of those before."""
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


@functools.lru_cache(None)
def frames():
    """What the screen must show, by name: the mode prompt, the title, the
    title with the cursor on the instructions (title3), an instruction page,
    the title after it (back), and a game's start over a best score of 2570."""
    prompt = as_screen(shot(trace([". @prompt", ". 2"], shots=True).folder, "prompt"), PROMPT_RGB)
    return SimpleNamespace(prompt=prompt, **traced((". 2", ".", ". @title")),
                           **traced((". 2", ". DOWN", ".", ". DOWN", ". @title3", ". ENTER", "T x40", "T @page",
                                     "T ESC", "T x5", "T @back")),
                           **traced((". 2", ". ENTER", "T", "T @game"), EARLIER))


def shows_text(img, x, y, text, colour, rgb=None):
    return b"".join(region(img, x, y, 8 * len(text), 8, 3)) == as_screen(text_image(text, colour), rgb)


def number_at(img, x, y, digits=4):
    """The number the status line shows at x, or None where a cell is no digit."""
    shown = [next((d for d in "0123456789" if shows_text(img, x + 8 * k, y, d, LAYOUT.COL_TEXT)), "")
             for k in range(digits)]
    return int("".join(shown)) if all(shown) else None


def prompt_shown(img):
    """The mode prompt whole: its heading and both choices."""
    return (shows_text(img, 116, 96, "Choose Mode", 2, PROMPT_RGB)
            and shows_text(img, 104, 112, "1 - Fullscreen", 1, PROMPT_RGB)
            and shows_text(img, 104, 120, "2 - Window", 1, PROMPT_RGB))


def check_game_start(img, expected, best):
    assert (shows_text(img, 16, 0, "Score:0000", LAYOUT.COL_TEXT)
            and shows_text(img, 240, 0, "Level:01", LAYOUT.COL_TEXT))
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


def climb(win, frm, to):
    """Holds Up or Down long enough to pass the rungs between, letting go
    before the last one (the ape reads keys on a rung only, 2 pixels a tick)."""
    step = 1 if to > frm else -1
    before = abs(RUNG_Y[to - step] - RUNG_Y[frm]) // 2 if to - step != frm else 0
    at = abs(RUNG_Y[to] - RUNG_Y[frm]) // 2
    win.press("Down" if step > 0 else "Up", hold=max(0.06, (before + at) / 2 * 0.02), settle=0)
    win.wait_for(lambda img: ape_rung(img) is not None, 15, "the ape on a rung")


def play_to_first_handover(win, limit=150):
    """Grabs the nearest waiting barrel and hands it over on rung 2 until the
    status line shows 10 points; the limit leaves room for a loaded machine."""
    end = time.time() + limit
    while time.time() < end:
        img = win.grab()
        if number_at(img, 64, 0) == 10:
            return img
        rung = ape_rung(img)
        if rung is None:
            continue
        if drawn_at(img, 38, APE_X + LAYOUT.HELD_DX, RUNG_Y[rung] + LAYOUT.HELD_DY) == 1:  # carried
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
    face.wait_for(lambda img: img != title, what="the game")
    check_game_start(face.keep("game_start"), game, 2570)
    play_to_first_handover(face)
    face.keep("handed_over")
    face.press("Escape")
    assert face.keep("title_after_game") == title


def played_on_a_pad(pad):
    """From the prompt, on a stand-in pad (pad.plug(on) plugs it in or pulls
    it out, pad.hold_down(on) holds the keyboard's Down): A answers 2, the
    d-pad moves the menu, Start opens the instructions and B leaves them, a
    barrel is handed over; pulled out while holding Down the pad lets go of
    it, and its Down let go does not let go of the keyboard's."""
    f = frames()
    pad.press("Return")
    pad.wait_for(lambda img: img == f.title, what="the title")
    for name, want in (("PadDown", None), ("PadDown", f.title3), ("Start", f.page), ("Escape", f.back),
                       ("PadUp", None), ("PadUp", f.title)):
        pad.press(name)
        if want:
            pad.wait_for(lambda img: img == want, what=f"the screen after {name}")
    play_a_handover_and_back(pad, f.game, f.title)
    pad.press("Start")
    pad.wait_for(lambda img: ape_rung(img) == 1, what="the ape on the top rung")
    pad.set("Down", True)
    time.sleep(0.15)
    pad.plug(False)
    time.sleep(2.5)
    assert (stopped := ape_rung(pad.grab())) is not None and 1 < stopped < 7, stopped
    pad.plug(True)
    pad.hold_down(True)
    pad.press("Down", settle=2.5)
    pad.keep("pad_and_keyboard")
    assert (rung := ape_rung(pad.grab())) == 7, rung
    pad.hold_down(False)
