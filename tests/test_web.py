# SPDX-License-Identifier: MIT
"""ZARN in the browser: the replay tool under node held to the native one,
and the page in headless Chromium, from disk and from a web server, played
as a player would. Screenshots in build/artefacts/session/web_*/."""
import os
import random
import subprocess
import tempfile
import time
import zipfile

from webpage import KEYS, SCORE_KEY, STORED, STRICT_POLICY, Page, built, served
from window import enlarged
from xwindow import (EARLIER, SAVED, check_game_start, frames, play_a_handover_and_back, played_on_a_pad, prompt_shown,
                     shows_text)
from zarn_test import QUIT, TRACE, Driver, good_bot, node_trace, scratch

BUILDS = ("web",)
ONE_AT_A_TIME = True
# No player on the screen in these, which wait for what they read.
BESIDE_OTHERS = ("test_web_a_long_game_under_node_as_native", "test_web_tool_under_node_ends_at_a_closed_pipe_as_native",
                 "test_web_every_game_pixel_a_whole_square_at_any_ratio_and_zoom",
                 "test_web_zip_under_a_strict_policy_plays_installs_offline_and_keeps_scores",
                 "test_web_storage_damaged_or_full_as_a_file_would_be_and_a_page_that_cannot_start_says_so")
# The page made taller than the window, which then scrolls, and back.
TALL = "document.documentElement.style.overflow = document.body.style.overflow = '{}';" \
       "document.body.style.height = '{}'"
ZIP_FILES = ["index.html", "zarn.js", "zarn.wasm", "start.js", "page.css", "sw.js",
             "manifest.webmanifest", "icon-192.png", "icon-512.png", "README.txt"]


def recorded_game(ticks, seed):
    """A script of a long game: the suite's good player, with a random key
    now and then, through every game over into the next game, then QUIT."""
    rand, d, script = random.Random(seed), Driver(seed=seed), []

    def send(line, label=None):
        script.extend([line, f". @{label}" if label else "."])
        return d.send(line, label)
    for line in (". 2", ". ENTER"):
        send(line)
    for n in range(ticks):
        s = d.s
        if s["loop"] == "menu":
            send(". ENTER")
        keys = rand.choice(["UP", "DOWN", "LEFT", "RIGHT", "X"]) if rand.random() < 0.1 else good_bot(s)
        send(f"T {keys}", f"t{n}" if n % 2500 == 0 else None)
    for line in ("T ESC", "T x5", *QUIT):
        send(line)
    d.close()
    return script


def test_web_a_long_game_under_node_as_native():
    # The replays that take the tool as `tool` run under node too (run_tests.py).
    script = "\n".join(recorded_game(12000, 4242)) + "\n"
    runs = []
    for program in (TRACE, node_trace()):
        folder = scratch(hiscore=EARLIER)
        os.mkdir(os.path.join(folder, "shots"))
        open(os.path.join(folder, "script"), "w").write(script)
        out = subprocess.run([program, "--seed", "4242", "--shots", "shots", "script"], cwd=folder,
                             capture_output=True, timeout=600)
        shots = {n: open(os.path.join(folder, "shots", n), "rb").read()
                 for n in os.listdir(os.path.join(folder, "shots"))}
        runs.append((out.returncode, out.stdout, out.stderr, shots,
                     open(os.path.join(folder, "hiscore.zrn"), "rb").read()))
    assert runs[0][1].count(b"\n") > 24000 and b'"exit":0' in runs[0][1].splitlines()[-1]
    assert len(runs[0][3]) == 5 and runs[1] == runs[0]


def test_web_tool_under_node_ends_at_a_closed_pipe_as_native():
    # A long script read into `head -c 100`: the native tool ends at once by
    # SIGPIPE; under node it must not play on unread (50 s here).
    folder = scratch()
    open(os.path.join(folder, "script"), "w").write(". 2\n. ENTER\n" + "T\n" * 300000)
    ends = []
    for program in (TRACE, node_trace()):
        start = time.time()
        run = subprocess.Popen([program, "script"], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        assert run.stdout.read(100).startswith(b'{"pass":0,')
        run.stdout.close()
        status = run.wait(timeout=30)
        ends.append((status, run.stderr.read(), time.time() - start < 10))
    assert ends[0] == (-13, b"", True) and ends[1] == ends[0], ends


def test_web_page_from_disk_played_quit_kept_in_full_screen():
    f, title = frames(), frames().title
    with Page("file://" + built()[2], "web_disk", tempfile.mkdtemp(prefix="zarn-profile-")) as page:
        page.start(EARLIER)
        page.wait_for(prompt_shown, what="the mode prompt")
        page.keep("prompt")
        assert page.do(eval="[document.title, document.activeElement.id]") == ["ZARN", "screen"]
        # On a page taller than the window, the game's keys are its alone:
        # arrows and Space do not scroll, Tab keeps the focus on the game.
        assert page.do(eval=TALL.format("auto", "300%") + "; scrollTo(0, 40); scrollY") == 40
        page.do(eval="scrollTo(0, 0)")
        for name in ("Down", "space", "Tab"):
            page.press(name, settle=0.05)
        assert (where := page.do(eval="[scrollY, document.activeElement.id]")) == [0, "screen"], where
        page.do(eval=TALL.format("", ""))
        page.press("2")
        page.wait_for(lambda img: img == title, what="the title")
        assert (found := wait_placed(page, "title", title)) is True, found  # 3 times on a 1280x800 page
        assert page.do(eval="getComputedStyle(document.getElementById('touch')).display") == "none"
        # A window smaller than the frame shrinks it, and cuts none of it.
        page.do(size=[300, 200])
        assert (box := wait_placed(page, "tiny", title, shrunk)) is True, box
        page.do(size=[1280, 800])
        page.wait_for(lambda img: img == title, what="the title again")
        play_a_handover_and_back(page, f.game, title)
        page.press("Down")
        page.press("Down")
        assert page.grab() == f.title3
        page.press("Return", settle=1.0)
        assert page.keep("instructions") == f.page
        page.press("space")
        sound = page.do(eval="[zarnTest.contexts.map((c) => c.state), zarnTest.loud, zarnTest.overlaps]")
        assert sound[0] == ["running"] and sound[1] > 20 and sound[2] == 0, sound
        page.press("Down")
        # Enter held on QUIT: its repeats are no new press, nor are a right
        # and a middle click, so the end note stays to be read.
        page.do(down="Enter")
        assert page.wait_eval("document.getElementById('ended').hidden", False) is False
        page.do(eval="window.stayed = true")
        for _ in range(5):
            page.do(down="Enter")  # a held key's repeats
            time.sleep(0.05)
        for button in ("right", "middle"):
            page.do(click=[640, 400], button=button)
        time.sleep(0.5)
        assert (still := page.do(eval="[window.stayed, ended.hidden]")) == [True, False], still
        page.do(up="Enter")
        page.keep("ended", picture=False)
        assert page.wait_eval(STORED, SAVED.hex()) == SAVED.hex()
        # A key starts the game again; 1 plays in full screen, Esc reaching the game.
        page.press("x", settle=1.0)
        page.wait_for(prompt_shown, what="the prompt again")
        page.press("1")
        page.wait_eval("!!document.fullscreenElement", True)
        page.wait_for(lambda img: img == title, what="the title in full screen")
        assert page.do(eval="!!document.fullscreenElement") and page.keep("full_screen") == title
        page.press("Return", settle=0.1)
        page.wait_for(lambda img: shows_text(img, 16, 0, "Score:0000", 42), what="the game")
        check_game_start(page.keep("game_kept"), f.game, 2570)
        page.press("Escape")
        page.wait_for(lambda img: img == title, what="the title after Esc")
        assert page.grab() == title and page.do(eval="!!document.fullscreenElement")
        assert page.faults == [], page.faults


def rows(ppm):
    w, h = (int(v) for v in ppm.split()[1:3])
    screen = ppm[len(ppm) - 3 * w * h:]
    return [screen[3 * w * y:3 * w * (y + 1)] for y in range(h)]


def lit(rows):
    """The box (left, top, right, bottom, right and bottom past it) round
    what is not black in rows of RGB bytes; None where all is black."""
    ys = [y for y, row in enumerate(rows) if row.strip(b"\0")]
    if not ys:
        return None
    return (min(len(rows[y]) - len(rows[y].lstrip(b"\0")) for y in ys) // 3, ys[0],
            max((len(rows[y].rstrip(b"\0")) + 2) // 3 for y in ys), ys[-1] + 1)


def sharp(ppm, frame):
    """True where the screen shows frame (320x240 RGB bytes) as k x k squares
    of device pixels, k the largest that fits, centred, black round it; else
    what it found."""
    try:
        img, screen, size, k = enlarged(ppm)
    except AssertionError as e:
        return str(e)
    black = screen.count(0) - k * k * img.count(0) == len(screen) - k * k * len(img)
    return img == frame and black or f"k {k} on {size}: {'not black round it' if black else 'another picture'}"


def shrunk(ppm, frame):
    """True where the screen, smaller than the frame, shows all of it shrunk
    to fit and centred: what is lit where the frame's lit part lands then."""
    w, h = (int(v) for v in ppm.split()[1:3])
    s, box, want = min(w / 320, h / 240), lit(rows(ppm)), lit([frame[y * 960:(y + 1) * 960] for y in range(240)])
    x, y = (w - round(320 * s)) // 2, (h - round(240 * s)) // 2
    near = [x + want[0] * s, y + want[1] * s, x + want[2] * s, y + want[3] * s]
    return s < 1 and box is not None and all(abs(a - b) <= 1.5 for a, b in zip(box, near)) or (w, h, box, near)


def wait_placed(page, name, frame, test=sharp, limit=10.0):
    """True once the page's picture passes the test, else the last finding."""
    end = time.time() + limit
    png = os.path.join(page.dir, name + ".png")
    while (found := test(page.pixels(png), frame)) is not True and time.time() < end:
        time.sleep(0.05)
    return found


def test_web_every_game_pixel_a_whole_square_at_any_ratio_and_zoom():
    # A browser zoom is the pixel ratio it makes, the window's CSS size divided by it.
    sizes = {ratio: [(1280, 800)] for ratio in (1.25, 1.5, 1.75, 2, 2.625, 3)}
    for zoom in (0.9, 1.1, 1.5, 1.75):
        sizes.setdefault(zoom, []).append((round(1280 / zoom), round(800 / zoom)))
    f, found = frames(), {}
    for ratio, windows in sizes.items():
        with Page("file://" + built()[2], f"web_ratio_{ratio}", tempfile.mkdtemp(prefix="zarn-profile-"), windows[0],
                  scale=ratio) as page:
            assert page.wait_eval("nostart.hidden", True, 60) is True  # its program started, however busy the machine
            for name, frame in (("prompt", f.prompt), ("title", f.title)):
                if name == "title":
                    page.press("2")
                for w, h in windows:
                    page.do(size=[w, h])
                    found[ratio, w, h, name] = wait_placed(page, f"{name}_{w}x{h}", frame)
            assert page.faults == [], page.faults
    assert all(f is True for f in found.values()), found


def test_web_zip_under_a_strict_policy_plays_installs_offline_and_keeps_scores():
    folder = tempfile.mkdtemp(prefix="zarn-web-host-")
    with zipfile.ZipFile(built()[0]) as z:
        assert sorted(z.namelist()) == sorted(ZIP_FILES)
        z.extractall(folder)
    title = frames().title
    with served(folder, [("Content-Security-Policy", STRICT_POLICY)]) as (home, stop):
        url = home + "index.html"
        # A damaged pack: its message box's text in the page, then the end.
        with Page(url, "web_no_pack", tempfile.mkdtemp(prefix="zarn-profile-"),
                  pre_run="FS.writeFile('/zarn.dat', new Uint8Array(10))") as page:
            page.wait_eval("[message.hidden, ended.hidden]", [False, False], 20)
            page.keep("message", picture=False)
            said = page.do(eval="[message.hidden, message.textContent, ended.hidden]")
            assert said == [False, "Error loading zarn.dat \nwrong password or damaged file\n", False], said
        with Page(url, "web_host", tempfile.mkdtemp(prefix="zarn-profile-")) as page:
            page.start(b"\xff" * 4)  # -1, which any game over raises
            page.wait_for(prompt_shown, what="the mode prompt")
            page.press("2")
            page.wait_for(lambda img: img == title, what="the title")
            assert page.keep("title") == title and page.do(eval="nostart.hidden") is True
            for name in ["Down"] + ["Return"] * 15 + ["Up", "Return"]:  # a game at level 16
                page.press(name, settle=0.05)
            page.wait_for(lambda img: shows_text(img, 124, 100, "GAME OVER", 42), 120, "the game over")
            sound = page.do(eval="[zarnTest.contexts.map((c) => c.state), zarnTest.loud, zarnTest.overlaps]")
            assert sound[0] == ["running"] and sound[1] > 20 and sound[2] == 0, sound
            # Hidden while the box shows, the page keeps its 0 over the -1.
            page.do(eval="dispatchEvent(new PageTransitionEvent('pagehide'))")
            assert (kept := page.wait_eval(STORED, "00000000")) == "00000000", kept
            # Chromium would install it, and its service worker has kept its files.
            assert page.do(eval="navigator.serviceWorker.ready.then((r) => !!r.active)") is True
            assert page.do(installability=True) == []
            page.press("x")
            page.wait_for(lambda img: shows_text(img, 120, 178, "QUIT", 42), what="the title")
            # Another page keeps a better score meanwhile: it stays when this one closes.
            page.do(tab=url)
            page.do(eval=f"localStorage.setItem({SCORE_KEY!r}, {EARLIER.hex()!r})")
            page.do(front=0)
            page.do(closeTab=True)
            # (The closed page's write lands a moment after the close returns.)
            assert (kept := page.wait_eval(STORED, SAVED.hex())) == SAVED.hex(), kept
            # Once visited, it plays with its host gone.
            stop()
            page.do(reload=True)
            page.wait_for(prompt_shown, what="the mode prompt offline")
            page.press("2")
            page.wait_for(lambda img: img == title, what="the title offline")
            page.keep("offline")
            assert page.faults == [], page.faults


# Whether the line that the page cannot start shows, and its reason.
NOSTART = "[!!nostart.offsetParent, nostart.textContent.split('ZARN could not start: ')[1]]"


# Storage that takes nothing more once the test says so, as a full one.
FULL = ("const set = Storage.prototype.setItem; Storage.prototype.setItem = function (k, v) {"
        " if (window.full) throw new DOMException('full', 'QuotaExceededError'); set.call(this, k, v); }")


def test_web_storage_damaged_or_full_as_a_file_would_be_and_a_page_that_cannot_start_says_so():
    page_url, title = "file://" + built()[2], frames().title
    with Page(page_url, "web_storage", tempfile.mkdtemp(prefix="zarn-profile-"), pre_run=FULL) as page:
        # Values not whole hex bytes, as an unreadable file: play from 100, left as they are.
        page.do(eval=f"localStorage.setItem({SCORE_KEY!r}, 'zzzzzzzz')")
        page.do(reload=True)
        for damaged in ("zzzzzzzz", " f4010000", "f401000"):
            page.do(eval=f"localStorage.setItem({SCORE_KEY!r}, {damaged!r})")
            page.wait_for(prompt_shown, what="the mode prompt")
            page.press("2")
            page.wait_for(lambda img: img == title, what="the title")
            page.press("Return", settle=0.1)
            img = page.wait_for(lambda img: shows_text(img, 16, 0, "Score:0000", 42), what="the game")
            check_game_start(img, frames().game, 100)
            page.press("Escape")
            page.wait_for(lambda img: img == title, what="the title after Esc")
            page.quit()
            assert page.wait_eval("ended.hidden", False) is False, damaged
            assert page.do(eval=f"[{STORED}, message.hidden]") == [damaged, True], damaged
            page.press("x", settle=1.0)  # a key starts the page again
        # A full storage: the end note all the same, with what was lost.
        page.do(eval=f"localStorage.setItem({SCORE_KEY!r}, {EARLIER.hex()!r})")
        page.do(reload=True)
        page.wait_for(prompt_shown, what="the mode prompt")
        page.press("2")
        page.wait_for(lambda img: img == title, what="the title")
        page.do(eval=f"localStorage.setItem({SCORE_KEY!r}, '07000000'); window.full = true")
        page.quit()
        assert page.wait_eval("ended.hidden", False) is False
        page.keep("full", picture=False)
        said = page.do(eval=f"[{STORED}, message.hidden, message.textContent]")
        assert said == ["07000000", False, "The best score 2570 could not be saved\nin the browser's storage, "
                        f"as {SCORE_KEY}:\nNo space left on device\n"], said
        page.press("x", settle=1.0)
        page.wait_for(prompt_shown, what="the prompt again")
        assert not [f for f in page.faults if not f.startswith(("error: ", "warning: "))], page.faults
        # A page cut short, or a browser without WebAssembly, says why it does not play.
        whole, folder = open(built()[2], "rb").read(), tempfile.mkdtemp(prefix="zarn-cut-")
        for part in (50, 90):
            with open(os.path.join(folder, f"cut{part}.html"), "wb") as f:
                f.write(whole[:len(whole) * part // 100])
            page.do(goto=f"file://{folder}/cut{part}.html")
            page.keep(f"cut{part}", picture=False)
            assert page.do(eval=NOSTART) == [True, "the page did not load whole,\nor its script could not run."]
        page.do(initScript="delete window.WebAssembly")
        page.do(goto=page_url)
        page.keep("no_webassembly", picture=False)
        assert page.wait_eval(NOSTART, [True, "this browser has no WebAssembly."], 5) == \
            [True, "this browser has no WebAssembly."]


# A stand-in for the browser's game pads: one pad in the standard mapping,
# plugged in and pulled out by plugPad, its controls set by the test, its
# reads counted (zarnPadReads).
PAD = """
window.zarnPad = { index: 0, id: 'stand-in', connected: true, mapping: 'standard', timestamp: 0,
                   axes: [0, 0, 0, 0], buttons: Array.from({ length: 17 }, () => ({ pressed: false, value: 0 })) };
window.zarnPads = [];
window.zarnPadReads = 0;
navigator.getGamepads = () => (window.zarnPadReads++, window.zarnPads);
window.plugPad = (on) => {
  window.zarnPads = on ? [window.zarnPad] : [];
  dispatchEvent(new Event(on ? 'gamepadconnected' : 'gamepaddisconnected'));
};
"""
# The pad's controls by the key names the faces press: the left stick
# climbs (past half-way), the d-pad reaches and moves the menu.
PAD_CONTROLS = {"Return": "buttons[0].pressed = {on}", "Escape": "buttons[1].pressed = {on}",
                "Start": "buttons[9].pressed = {on}", "PadUp": "buttons[12].pressed = {on}",
                "PadDown": "buttons[13].pressed = {on}", "Left": "buttons[14].pressed = {on}",
                "Right": "buttons[15].pressed = {on}", "Up": "axes[1] = {on} ? -0.6 : -0.4",
                "Down": "axes[1] = {on} ? 0.6 : 0.4"}


class PadPage(Page):
    """The page played on the stand-in pad: keys pressed as its controls."""

    def set(self, name, on):
        """A control set, and kept so until the page has read the pad since.
        A real pad is sampled apart from the page; the stand-in's controls
        change in the page's own tasks, which a loaded page may run back to
        back, with no read between them, and a press would be lost. A pad
        pulled out is read no more."""
        control = "zarnPad." + PAD_CONTROLS[name].format(on=str(on).lower())
        reads = self.do(eval=control + ", zarnPads.length ? zarnPadReads : null")
        end = time.time() + 5
        while reads is not None and self.do(eval="zarnPadReads") == reads and time.time() < end:
            time.sleep(0.01)

    def press(self, name, hold=0.1, settle=0.2):
        self.set(name, True)
        time.sleep(hold)
        self.set(name, False)
        time.sleep(settle)

    def plug(self, on):
        self.do(eval=f"plugPad({str(on).lower()})")
        self.set("Down", False)

    def hold_down(self, on):
        self.do(**{"down" if on else "up": "ArrowDown"})


def test_web_played_on_a_game_pad():
    with PadPage("file://" + built()[2], "web_pad", tempfile.mkdtemp(prefix="zarn-profile-"), init=PAD) as page:
        page.start(EARLIER)
        page.wait_for(prompt_shown, what="the mode prompt")
        page.do(eval="plugPad(true)")
        played_on_a_pad(page)
        assert page.do(eval="!!document.fullscreenElement") is False
        page.press("Escape")
        page.wait_for(lambda img: img == frames().title, what="the title after B")
        for name in ("PadDown", "PadDown", "PadDown", "Return"):  # QUIT
            page.press(name)
        assert page.wait_eval("ended.hidden", False) is False
        # A at the end starts the page again: no read of it is waited for,
        # as the page it was set in is gone.
        page.do(eval="zarnPad." + PAD_CONTROLS["Return"].format(on="true"))
        time.sleep(1.0)  # the page loading again
        page.wait_for(prompt_shown, what="the prompt again")
        assert page.faults == [], page.faults


# The whole-number scale the picture takes on a phone's or a tablet's touch
# screen beside or above the touch controls, by CSS size and pixel ratio.
SCALES = {(390, 844, 3): 3, (844, 390, 3): 4, (360, 640, 2): 2, (1024, 1366, 2): 6, (1366, 1024, 2): 6}
# The touch controls' CSS sizes, and the centre of the one holding a key.
CONTROLS = "[...document.querySelectorAll('#touch [data-key]')].map((e) => e.getBoundingClientRect())" \
           ".map((b) => Math.min(b.width, b.height))"
CENTRE = "(b => [b.x + b.width / 2, b.y + b.height / 2])" \
         "(document.querySelector('#touch [data-key={}]').getBoundingClientRect())"
# The screen's wake locks the page asks for, kept to be looked at.
WAKE = "const ask = navigator.wakeLock.request.bind(navigator.wakeLock); window.locks = [];" \
       "navigator.wakeLock.request = (t) => ask(t).then((l) => (locks.push(l), l));"
AWAKE = "locks.filter((l) => !l.released).length"


class Phone(Page):
    """The page on a touch screen, its picture at the top in portrait and
    centred in landscape; keys pressed as taps on the touch controls."""

    def __init__(self, run, size, ratio, **kw):
        self.view, self.ratio, self.centres = size, ratio, {}
        super().__init__("file://" + built()[2], run, tempfile.mkdtemp(prefix="zarn-profile-"), size,
                         scale=ratio, phone=True, **kw)

    def turn(self, w, h):
        self.view, self.centres = (w, h), {}
        self.do(size=[w, h])

    def box(self):
        (w, h), r = self.view, self.ratio
        k = SCALES[w, h, r]
        return (w * r - 320 * k) // 2, 0 if h > w else (h * r - 240 * k) // 2, k

    def band(self, ppm, frame):
        """sharp on the screen cut to the picture's band, where no control
        may lie: its rows in portrait, its columns in landscape."""
        (x, _, k), cut = self.box(), rows(ppm)
        cut = cut[:240 * k] if self.view[1] > self.view[0] else [r[3 * x:3 * (x + 320 * k)] for r in cut]
        return sharp(b"P6 %d %d 255 " % (len(cut[0]) // 3, len(cut)) + b"".join(cut), frame)

    def grab(self, path=None, picture=True, again=True):
        x, y, k = self.box()
        crop = b"".join(r[3 * x:3 * (x + 320 * k)] for r in rows(self.pixels(path))[y:y + 240 * k])
        try:
            return enlarged(b"P6 %d %d 255 " % (320 * k, 240 * k) + crop)[0] if picture else None
        except AssertionError:
            return None  # not placed so yet: the page loading or turning

    def press(self, name, hold=0.05, settle=0.2):
        if name not in self.centres:
            self.centres[name] = self.do(eval=CENTRE.format(KEYS.get(name, name)))
        self.tap(*self.centres[name], hold)
        time.sleep(settle)

    def placed(self, name, frame):
        """The picture sharp where it must be, every device pixel, nothing
        over it, and all six controls shown, 48 CSS pixels or more."""
        band, sizes = wait_placed(self, name, frame, self.band), self.do(eval=CONTROLS)
        return band is True and len(sizes) == 6 and min(sizes) >= 48 or (band, sizes)


def test_web_phone_played_by_touch_quit_tapped_again_and_a_tablet_turned():
    f, title = frames(), frames().title
    with Phone("web_phone", (360, 640), 2, init=WAKE) as page:
        page.start(EARLIER)
        assert (found := page.placed("prompt", f.prompt)) is True, found
        page.tap(180, 124)  # "2 - Window": a game pixel is a CSS one here, the picture at the top
        page.wait_for(lambda img: img == title, what="the title")
        assert page.do(eval="[!!document.fullscreenElement, zarnTest.contexts[0].state]") == [False, "running"]
        for name in ("Down", "Down", "Up", "Up", "Down", "Down"):
            page.press(name, hold=0, settle=0.05)  # taps however short, and quick
        assert page.keep("menu") == f.title3
        for name in ("Up", "Up"):
            page.press(name)
        play_a_handover_and_back(page, f.game, title)
        assert page.do(eval=AWAKE) == 1
        # OK on QUIT held to the end: lifted, the note stays, the screen may dim; a tap restarts.
        for name in ("Down", "Down", "Down"):
            page.press(name)
        page.touch("start", (*page.do(eval=CENTRE.format("Enter")), 1))
        assert page.wait_eval("ended.hidden", False) is False
        page.do(eval="window.stayed = true")
        page.touch("end")
        time.sleep(0.5)
        assert (still := page.do(eval=f"[window.stayed, ended.hidden, {AWAKE}]")) == [True, False, 0], still
        page.keep("ended", picture=False)
        page.tap(180, 100)
        time.sleep(1.0)  # the page loading again
        page.wait_for(prompt_shown, what="the prompt again")
        page.tap(180, 116)  # "1 - Fullscreen"
        page.wait_for(lambda img: img == title, what="the title in full screen")
        assert page.do(eval=f"[!!document.fullscreenElement, {AWAKE}]") == [True, 1]
        # A tablet, turned: beside the controls the picture is smaller, and whole.
        for view in ((1024, 1366), (1366, 1024)):
            page.turn(*view)
            assert (found := page.placed(f"title_{view[0]}x{view[1]}", frames().title)) is True, found
        assert page.faults == [], page.faults


def test_web_phone_turned_fits_whole_and_never_scrolls_or_zooms():
    with Phone("web_phone_turned", (390, 844), 3) as page:
        assert (found := page.placed("prompt", frames().prompt)) is True, found
        # Swipes, double taps and a pinch on a tall page: nothing scrolls, zooms or is selected.
        page.do(eval=TALL.format("auto", "300%"))
        for x, y in ((195, 600), (20, 300), (195, 100)):
            page.touch("start", (x, y, 1))
            for step in range(1, 5):
                page.touch("move", (x + 10 * step, y - 60 * step, 1))
            page.touch("end")
            page.tap(x, y - 50)
            page.tap(x, y - 50)
        page.do(pinch=[195, 300, 2.0])
        moved = "[scrollY, visualViewport.scale, visualViewport.offsetTop, String(getSelection())]"
        assert (where := page.do(eval=moved)) == [0, 1, 0, ""], where
        page.do(eval=TALL.format("", ""))
        page.tap(195, 124)
        for view in ((844, 390), (390, 844)):
            page.turn(*view)
            assert (found := page.placed(f"title_{view[0]}x{view[1]}", frames().title)) is True, found
        assert page.faults == [], page.faults
