# SPDX-License-Identifier: MIT
"""The game in a real window under an Xvfb of its own, for the benchmark and
the tests: started the way the README's play path starts it, keys through
xdotool, its picture read back; Face holds what the window and the page
(webpage.py) share."""
import contextlib
import ctypes
import os
import shutil
import signal
import subprocess
import tempfile
import time

from replay import BUILD

ARTEFACTS = os.path.join(BUILD, "artefacts", "session")


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
    # ZARN_DISPLAYS=FIRST-LAST gives another range, for runs beside the
    # suite's; read at each start, as each of the suite's workers has its own.
    first, last = os.environ.get("ZARN_DISPLAYS", "70-89").split("-")
    n = next((n for n in range(int(first), int(last) + 1) if not os.path.exists(f"/tmp/.X{n}-lock")), None)
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


def enlarged(ppm):
    """The game's 320x240 picture in a PPM of a screen that shows it k times
    enlarged, centred, k as large as fits: (the picture, the screen's RGB
    bytes, its size, k). Every k x k block must be of one colour."""
    w, h = (int(v) for v in ppm.split()[1:3])
    screen, k = ppm[len(ppm) - 3 * w * h:], min(w // 320, h // 240)
    assert k >= 1, f"a picture of {w}x{h} cannot hold the game's 320x240"
    x0, y0 = (w - 320 * k) // 2 * 3, (h - 240 * k) // 2
    at, out = [(y0 + y) * w * 3 + x0 for y in range(240 * k)], []
    rows = [screen[a:a + 960 * k] for a in at]
    for y in range(240):
        px = [rows[y * k][i:i + 3] for i in range(0, 960 * k, 3 * k)]
        assert rows[y * k:y * k + k] == [b"".join(p * k for p in px)] * k, f"row {y}: not {k}x{k} blocks"
        out += px
    return b"".join(out), screen, (w, h), k


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_char)), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
                ("obdata", ctypes.c_void_p), ("create_image", ctypes.c_void_p),
                ("destroy_image", ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p))]


X11 = ctypes.CDLL("libX11.so.6")
X11.XOpenDisplay.restype = X11.XDefaultRootWindow.restype = ctypes.c_void_p
X11.XOpenDisplay.argtypes, X11.XCloseDisplay.argtypes = [ctypes.c_char_p], [ctypes.c_void_p]
X11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X11.XGetImage.restype = ctypes.POINTER(XImage)
X11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + [ctypes.c_uint] * 2 + \
    [ctypes.c_ulong, ctypes.c_int]
X11.XInternAtom.restype = ctypes.c_ulong
X11.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p] + [ctypes.c_void_p] * 6
# A window gone or not mapped yet is an X error, which would end the process:
# the picture is then empty, and looked for again.
IGNORE_X_ERRORS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda *_: 0)
X11.XSetErrorHandler(IGNORE_X_ERRORS)


def x_picture(env, wid, crop):
    """The window's picture (or the root's part crop, x y w h) as PPM bytes,
    read by the X library: `import` costs some 60 ms of CPU a picture, and
    a waiting session looks about ten times a second. None where the screen is
    not 24-bit true colour, which only `import` reads."""
    d = X11.XOpenDisplay(env["DISPLAY"].encode())
    if not d:
        return b""
    try:
        drawable = X11.XDefaultRootWindow(d) if wid == "root" else int(wid)
        if crop:
            x, y, w, h = crop
        else:
            size = [ctypes.c_uint() for _ in range(4)]
            if not X11.XGetGeometry(d, drawable, ctypes.byref(ctypes.c_ulong()), ctypes.byref(ctypes.c_int()),
                                    ctypes.byref(ctypes.c_int()), *[ctypes.byref(v) for v in size]):
                return b""
            x, y, w, h = 0, 0, size[0].value, size[1].value
        image = X11.XGetImage(d, drawable, x, y, w, h, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            return b""
        i = image.contents
        try:
            if (i.bits_per_pixel, i.byte_order, i.red_mask, i.blue_mask) != (32, 0, 0xFF0000, 0xFF):
                return None
            line = i.bytes_per_line
            data = ctypes.string_at(i.data, line * h)
        finally:
            i.destroy_image(image)
    finally:
        X11.XCloseDisplay(d)
    rows = b"".join(data[r * line:r * line + 4 * w] for r in range(h))
    rgb = bytearray(3 * w * h)
    rgb[0::3], rgb[1::3], rgb[2::3] = rows[2::4], rows[1::4], rows[0::4]  # from blue, green, red, unused
    return b"P6\n%d %d\n255\n" % (w, h) + bytes(rgb)


class Face:
    """What the game's window and its page share. Each presses keys, grabs
    and keeps pictures its own way (press, grab, keep), and holds the
    process it drives in proc and its run's name in run."""

    def wait_for(self, test, limit=10.0, what=""):
        end = time.time() + limit
        while time.time() < end:
            img = self.grab()
            if img is not None and test(img):
                return img
            time.sleep(0.03)
        self.keep("timeout")
        raise AssertionError(f"{self.run}: not seen within {limit} s: {what}")

    def quit(self):
        """Esc, then QUIT from the title menu's first item."""
        self.press("Escape")
        for name in ("Down", "Down", "Down", "Return"):
            self.press(name)

    def __enter__(self):  # with a face: killed at the block's end, however it ends
        return self

    def __exit__(self, *_):
        self.kill()

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
        self.full, self.area = full, full if isinstance(full, tuple) else None
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
            ppm = x_picture(self.env, self.wid, self.area)
            if ppm is None:
                ppm = subprocess.run(["import", "-window", self.wid, *self.crop, "-depth", "8", "ppm:-"],
                                     env=self.env, capture_output=True).stdout
            if ppm:
                break
            time.sleep(0.05)
        img, self.screen, self.size, self.k = enlarged(ppm)
        return img

    @property
    def crop(self):  # the monitor's part of the screen, as `import` takes it
        return ["-crop", "{2}x{3}+{0}+{1}".format(*self.area)] if self.area else []

    def close(self):
        """What a window manager sends when the window's close button is
        pressed: a client message (type 33, serial, send_event, display,
        window, message type, format, data) of WM_PROTOCOLS, WM_DELETE_WINDOW."""
        x = X11
        d = ctypes.c_void_p(x.XOpenDisplay(self.env["DISPLAY"].encode()))
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
