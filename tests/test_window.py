"""The real program in a real window: Xvfb, keys through xdotool, and
screenshots compared with what zarn-trace draws for the same moment."""
import os
import subprocess
import tempfile
import time

from zarn_test import read_bmp, trace

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def screen_rgb(path):
    """What the window should show for a trace shot: the shot's palette holds
    each 6-bit component c in its top six bits; the screen shows (c << 2) | (c >> 4)."""
    rows, pal = read_bmp(path, palette=True)
    rgb = [tuple((c & ~3) | (c >> 6) for c in p) for p in pal]
    return [[rgb[i] for i in row] for row in rows]


def grab_window(display, wid):
    ppm = subprocess.run(["import", "-display", display, "-window", wid, "-depth", "8", "ppm:-"],
                         capture_output=True, check=True).stdout
    w, h = (int(v) for v in ppm.split()[1:3])
    px = ppm[len(ppm) - 3 * w * h:]
    return [[tuple(px[(y * w + x) * 3:(y * w + x) * 3 + 3]) for x in range(w)] for y in range(h)]


def key(env, wid, name):
    subprocess.run(["xdotool", "mousemove", "--window", wid, "5", "5", "keydown", name,
                    "sleep", "0.25", "keyup", name, "sleep", "0.4"], env=env, check=True)


def test_real_window_prompt_title_playfield_and_quit():
    # The trace tool draws the same title and the same status line at game
    # start; the window must show exactly those pixels.
    folder = trace([". 2", ".", ". @title", ". ENTER", "T", "T @game"], shots=True).folder
    title, game = (screen_rgb(os.path.join(folder, "shots", n + ".bmp")) for n in ("title", "game"))
    # play.sh starts the game through the launcher, which keeps the best
    # score in the player's data directory.
    data = tempfile.mkdtemp(prefix="zarn-data-")
    saved = os.path.join(data, "zarn", "hiscore.zrn")
    n = next(n for n in range(90, 120) if not os.path.exists(f"/tmp/.X{n}-lock"))
    display = f":{n}"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    # Without xmessage on the path an error lands on stderr instead of in a
    # box that waits for a click.
    env = dict(os.environ, DISPLAY=display, PATH="/usr/sbin:/usr/bin:/sbin:/bin",
               XDG_DATA_HOME=data)
    game_proc = None
    try:
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                break
            time.sleep(0.05)
        game_proc = subprocess.Popen([os.path.join(TOP, "tools", "play.sh")], env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        wid = subprocess.run(["xdotool", "search", "--sync", "--name", "ZARN"], env=env,
                             capture_output=True, text=True, timeout=120,
                             check=True).stdout.split()[0]
        time.sleep(0.5)
        prompt = grab_window(display, wid)
        assert len(prompt) == 240 and len(prompt[0]) == 320
        assert any(px != (0, 0, 0) for row in prompt[96:104] for px in row), "no heading"
        key(env, wid, "2")
        assert grab_window(display, wid) == title, "the window's title screen differs from the trace's"
        key(env, wid, "Return")
        shown = grab_window(display, wid)
        assert shown[0:8] == game[0:8], "status line differs"
        same = sum(a == b for ra, rb in zip(shown, game) for a, b in zip(ra, rb))
        assert same > 0.8 * 320 * 240, f"only {same} pixels match the playfield"
        for name in ("Escape", "Down", "Down", "Down", "Return"):
            key(env, wid, name)
        assert game_proc.wait(timeout=30) == 0
        assert open(saved, "rb").read() == b"\x64\x00\x00\x00"
    finally:
        if game_proc and game_proc.poll() is None:
            game_proc.kill()
        xvfb.terminate()
        xvfb.wait()
