"""The real program in a real window: Xvfb, keys through xdotool, and
screenshots compared with what zarn-trace draws for the same moment."""
import os
import shutil
import struct
import subprocess
import tempfile
import time

import zarn_test

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def read_bmp8(path):
    """An 8-bit BMP as (width, height, rows of indices, palette of RGB)."""
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    hdr, w, h = struct.unpack_from("<Iii", data, 14)
    colours, = struct.unpack_from("<I", data, 46)
    pal = [tuple(data[14 + hdr + 4 * i + 2 - k] for k in range(3)) for i in range(colours or 256)]
    stride = (w + 3) & ~3
    rows = [data[offset + (h - 1 - y) * stride: offset + (h - 1 - y) * stride + w] for y in range(h)]
    return w, h, rows, pal


def screen_rgb(shot_bmp):
    """What the window should show for a trace shot: each 6-bit palette
    component c appears on screen as (c << 2) | (c >> 4)."""
    w, h, rows, pal = read_bmp8(shot_bmp)
    # save_bitmap writes 8-bit components; undo that to get the 6-bit ones.
    scale = [tuple(((c >> 2) << 2) | ((c >> 2) >> 4) for c in rgb) for rgb in pal]
    return w, h, [[scale[i] for i in row] for row in rows]


def grab_window(display, wid, path):
    subprocess.run(["import", "-display", display, "-window", wid, path], check=True)
    out = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True,
                         check=True).stdout
    w = int(subprocess.run(["identify", "-format", "%w", path], capture_output=True,
                           text=True, check=True).stdout)
    return [[tuple(out[(y * w + x) * 3:(y * w + x) * 3 + 3]) for x in range(w)]
            for y in range(len(out) // (3 * w))]


class Xvfb:
    def __enter__(self):
        for n in range(90, 120):
            if not os.path.exists(f"/tmp/.X{n}-lock"):
                break
        self.display = f":{n}"
        self.proc = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                break
            time.sleep(0.05)
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait()


def key(display, wid, name):
    env = dict(os.environ, DISPLAY=display)
    subprocess.run(["xdotool", "mousemove", "--window", wid, "5", "5"], env=env, check=True)
    subprocess.run(["xdotool", "keydown", name], env=env, check=True)
    time.sleep(0.25)
    subprocess.run(["xdotool", "keyup", name], env=env, check=True)
    time.sleep(0.4)


def test_real_window_prompt_title_playfield_and_quit():
    # The trace tool draws the same title and the same status line at game
    # start; the window must show exactly those pixels.
    shots = tempfile.mkdtemp(prefix="zarn-shots-")
    zarn_test.trace([". 2", ".", ". @title", ". ENTER", "T", "T @game"], "--shots", shots)
    _, _, title = screen_rgb(os.path.join(shots, "title.bmp"))
    _, _, game = screen_rgb(os.path.join(shots, "game.bmp"))

    saved = os.path.join(TOP, "build", "hiscore.zrn")
    keep = open(saved, "rb").read() if os.path.exists(saved) else None
    if keep is not None:
        os.remove(saved)
    with Xvfb() as x:
        env = dict(os.environ, DISPLAY=x.display)
        # Without xmessage an error would land on stderr instead of a box
        # that waits for a click.
        env["PATH"] = "/usr/sbin:/usr/bin:/sbin:/bin"
        game_proc = subprocess.Popen([os.path.join(TOP, "tools", "play.sh")], env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            wid = subprocess.run(["xdotool", "search", "--sync", "--name", "ZARN"], env=env,
                                 capture_output=True, text=True, timeout=120,
                                 check=True).stdout.split()[0]
            work = tempfile.mkdtemp(prefix="zarn-window-")
            time.sleep(0.5)
            prompt = grab_window(x.display, wid, os.path.join(work, "prompt.png"))
            assert len(prompt) == 240 and len(prompt[0]) == 320
            assert any(px != (0, 0, 0) for row in prompt[96:104] for px in row), "no heading"

            key(x.display, wid, "2")
            shown = grab_window(x.display, wid, os.path.join(work, "title.png"))
            assert shown == title, "the window's title screen differs from the trace's"

            key(x.display, wid, "Return")
            shown = grab_window(x.display, wid, os.path.join(work, "game.png"))
            assert shown[0:8] == game[0:8], "status line differs"
            same = sum(a == b for ra, rb in zip(shown, game) for a, b in zip(ra, rb))
            assert same > 0.8 * 320 * 240, f"only {same} pixels match the playfield"

            key(x.display, wid, "Escape")
            for name in ("Down", "Down", "Down", "Return"):
                key(x.display, wid, name)
            assert game_proc.wait(timeout=30) == 0
            assert open(saved, "rb").read() == b"\x64\x00\x00\x00"
        finally:
            if game_proc.poll() is None:
                game_proc.kill()
            if keep is not None:
                open(saved, "wb").write(keep)
            elif os.path.exists(saved):
                os.remove(saved)
