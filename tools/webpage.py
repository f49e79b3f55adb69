# SPDX-License-Identifier: MIT
"""The browser build's page in headless Chromium as a game's window
(window.Face): keys in, its picture out and kept. Driven through
web/browser.js and playwright-core (installed into build-web/node)."""
import contextlib
import fcntl
import functools
import http.server
import json
import os
import shutil
import subprocess
import threading
import time

from replay import built_by
from window import ARTEFACTS, Face, enlarged

HERE = os.path.dirname(os.path.abspath(__file__))
WEB = os.path.join(HERE, "..", "build-web")
SCORE_KEY = "zarn/hiscore.zrn"  # where the page keeps the best score's bytes
STORED = f"localStorage.getItem({SCORE_KEY!r})"  # those bytes, as hex


@functools.lru_cache(None)
def built():
    """tools/web.sh's outputs: zip, tool, page."""
    return built_by("web.sh")[-3:]


# The xdotool names the Linux sessions' helpers press, as the browser names them.
KEYS = {"Left": "ArrowLeft", "Right": "ArrowRight", "Up": "ArrowUp", "Down": "ArrowDown",
        "Return": "Enter", "space": "Space"}


class Page(Face):
    """The game in a page, its screenshots kept in ARTEFACTS/run; pre_run is
    JavaScript run before the program starts, init before any of the page's
    own; scale the device pixels per CSS pixel; phone a touch screen's."""

    def __init__(self, url, run, profile, size=(1280, 800), pre_run="", init="", scale=1, phone=False):
        self.run, self.kept, self.dir = run, 0, os.path.join(ARTEFACTS, run)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.proc = subprocess.Popen(["node", os.path.join(HERE, "web", "browser.js")],
                                     env=dict(os.environ, NODE_PATH=node_modules()), text=True,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.do(open=url, profile=profile, width=size[0], height=size[1], scale=scale, preRun=pre_run,
                initScript=init, phone=phone)

    def do(self, **command):
        self.proc.stdin.write(json.dumps(command) + "\n")
        self.proc.stdin.flush()
        answer = json.loads(self.proc.stdout.readline())
        assert "error" not in answer, answer["error"]
        self.faults = answer["faults"]
        return answer["value"]

    def grab(self, path=None, picture=True, again=True):
        if not picture:  # not the game's alone
            self.pixels(path)
            return None
        ppm = self.pixels(path)
        try:
            img, self.screen, self.size, self.k = enlarged(ppm)
        except AssertionError:
            # A page loading again shows its "could not start" line until its
            # program runs: no picture yet, which a wait waits past. The
            # program may have hidden it since the shot: one more look tells.
            if self.do(eval="!nostart.hidden"):
                return None
            if again:
                return self.grab(path, picture, again=False)
            raise
        return img

    def pixels(self, png=None):
        """The page's device pixels as a binary PPM, kept as a PNG too where
        png names one."""
        raw = os.path.join(self.dir, "pixels.ppm")
        self.do(pixels=raw, png=png)
        with open(raw, "rb") as f:
            ppm = f.read()
        os.remove(raw)
        return ppm

    def keep(self, name, picture=True):
        self.kept += 1
        return self.grab(os.path.join(self.dir, f"{self.kept:02}_{name}.png"), picture)

    def press(self, name, hold=0.1, settle=0.2):
        self.do(down=KEYS.get(name, name))
        time.sleep(hold)
        self.do(up=KEYS.get(name, name))
        time.sleep(settle)

    def touch(self, kind, *fingers):
        """A touch event of kind start, move, end or cancel; fingers (x, y, id)
        in CSS pixels are those down after it."""
        self.do(touch="touch" + kind.capitalize(), points=fingers)

    def tap(self, x, y, hold=0.0):
        self.touch("start", (x, y, 1))
        time.sleep(hold)
        self.touch("end")

    def wait_eval(self, expression, want, limit=10.0):
        """The expression's value in the page as soon as it is `want`, or as
        it is once `limit` seconds have passed: the caller's assertion tells."""
        end = time.time() + limit
        while (value := self.do(eval=expression)) != want and time.time() < end:
            time.sleep(0.03)
        return value

    def start(self, kept):
        """The page opened again with a best score kept from before."""
        self.do(eval=f"localStorage.setItem({SCORE_KEY!r}, {kept.hex()!r})")
        self.do(reload=True)


# What a careful host sends: no inline script or style, no eval, no data:
# addresses; WebAssembly compiled from the page's own files only.
STRICT_POLICY = "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'"


@contextlib.contextmanager
def served(folder, headers=()):
    """A folder served over http on 127.0.0.1 with these headers, while the
    block runs or until stop(); yields (the folder's address, stop)."""
    class Host(http.server.SimpleHTTPRequestHandler):
        extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                              **{".wasm": "application/wasm", ".webmanifest": "application/manifest+json"})

        def __init__(self, *args, **kw):
            super().__init__(*args, directory=folder, **kw)

        def end_headers(self):
            for name, value in headers:
                self.send_header(name, value)
            super().end_headers()

        def log_message(self, *args):
            pass
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Host)
    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
    thread.start()

    def stop():
        if thread.is_alive():
            server.shutdown()
            server.server_close()
    try:
        yield f"http://127.0.0.1:{server.server_address[1]}/", stop
    finally:
        stop()


@functools.lru_cache(None)
def node_modules():
    """playwright-core as tools/web/package-lock.json pins it, installed into
    the build folder once, with Debian's Chromium; it needs node 20 and npm."""
    subprocess.run([os.path.join(HERE, "install_packages.sh"), "webpage", "chromium"], check=True)
    node = subprocess.run(["node", "-p", "process.versions.node.split('.')[0]"], capture_output=True,
                          text=True).stdout.strip()
    assert shutil.which("npm") and node.isdigit() and int(node) >= 20, \
        f"the page's driver needs node 20 or later with npm; found node {node or 'none'}"
    prefix, source = os.path.join(WEB, "node"), os.path.join(HERE, "web")
    lock = [os.path.join(d, "package-lock.json") for d in (source, prefix)]
    with open(lock[0]) as pinned:
        fcntl.flock(pinned, fcntl.LOCK_EX)  # one install, however many tests ask side by side
        if not os.path.exists(lock[1]) or pinned.read() != open(lock[1]).read():
            shutil.rmtree(prefix, ignore_errors=True)
            os.makedirs(prefix)
            for name in ("package.json", "package-lock.json"):
                shutil.copy(os.path.join(source, name), prefix)
            out = subprocess.run(["npm", "ci", "--no-audit", "--no-fund"], cwd=prefix, capture_output=True,
                                 text=True, timeout=600)
            if out.returncode != 0:  # not taken for installed next time
                shutil.rmtree(prefix, ignore_errors=True)
            assert out.returncode == 0, "npm ci in " + prefix + " failed:\n" + out.stderr[-2000:]
    return os.path.join(prefix, "node_modules")
