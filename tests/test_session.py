# SPDX-License-Identifier: MIT
"""A player's session with the built game in a real window under Xvfb, the
screen read back and compared with the pack's and zarn-trace's pictures.
Screenshots in build/artefacts/session/."""
import os
import signal
import subprocess
import tempfile
import threading
import time

from bench import cpu_share
from xwindow import (EARLIER, SAVED, Window, check_game_start, frames, play_a_handover_and_back, prompt_shown,
                     set_monitors, shows_text, xserver)
from zarn_test import BUILD, scratch

BUILDS = ("tsan",)  # the real program under ThreadSanitizer
TSAN = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "build-tsan", "zarn"))
ZARN = os.path.join(BUILD, "zarn")


class Pace(threading.Thread):
    """The rate a 50 Hz clock of this machine keeps meanwhile by the game's
    rule (src/platform/tick_clock.cpp), to hold the game's rate to: a loaded
    machine takes ticks from both alike."""

    def __init__(self):
        super().__init__(daemon=True)
        self.ticks, self.running = 0, True
        self.start()

    def run(self):
        self.began = due = time.monotonic()
        while self.running:
            time.sleep(max(0.0, due - time.monotonic()))
            now = time.monotonic()
            due = (now if now - due > 5 * 0.02 else due) + 0.02
            self.ticks += 1

    def rate(self):
        self.running = False
        self.join()
        return self.ticks / (time.monotonic() - self.began)


def full_screen_title(win, title, size=(1920, 1080), k=4):
    """The title k times enlarged in the middle of the screen or monitor of
    that size (grab checks the blocks), black around it."""
    img = win.keep("title")
    assert (win.size, win.k) == (size, k) and img == title, (win.size, win.k)
    assert win.screen.count(0) - k * k * img.count(0) == len(win.screen) - k * k * len(img), "not black around"


def test_session_window_play_instructions_quit():
    folder = scratch(hiscore=EARLIER)
    path, f, title = os.path.join(folder, "hiscore.zrn"), frames(), frames().title
    with xserver() as env:
        with Window(env, folder, "window") as win:
            win.wait_for(prompt_shown, what="the mode prompt")
            win.keep("prompt")
            win.press("2")
            # Every pixel a 2x2 block on a 1024x768 desktop (grab checks the blocks).
            assert win.keep("title") == title, "the title screen differs from the replay's"
            assert win.size == (640, 480)
            play_a_handover_and_back(win, f.game, title)
            # Down held while the focus (and the pointer: no window manager
            # runs) goes elsewhere, and let go there, must not stay down and
            # swallow the next press.
            root = subprocess.run(["xdotool", "search", "--maxdepth", "0", "--name", ""], env=env,
                                  capture_output=True, text=True).stdout.split()[0]
            subprocess.run(["xdotool", "windowfocus", "--sync", win.wid, "keydown", "Down", "sleep", "0.3",
                            "windowfocus", root, "mousemove", "1000", "700", "sleep", "0.3", "keyup", "Down",
                            "windowfocus", win.wid, "sleep", "0.3"], env=env, check=True)
            win.press("Down")
            assert win.grab() == f.title3
            win.press("Return", settle=1.0)
            assert win.keep("instructions") == f.page
            win.press("space")
            assert win.keep("title_after_instructions") == f.title3
            win.press("Down")
            win.press("Return", settle=0)
            code, err = win.finish()
            assert code == 0, err
        assert open(path, "rb").read() == SAVED

        # In an IPC namespace of its own, as in a container, the display cannot
        # reach the game's shared memory: it plays without. Its window destroyed
        # by another program in play ends it as the display's loss does.
        with Window(env, folder, "own_ipc", command=["unshare", "--ipc", ZARN]) as win:
            win.press("2")
            assert win.keep("title") == title
            win.press("Return")
            destroyed = time.monotonic()
            subprocess.run(["xdotool", "windowclose", win.wid], env=env, check=True)
            code, err = win.finish()
        assert code == 1 and "window on the display" in err and time.monotonic() - destroyed < 2.5, (code, err)


def test_session_close_button_and_signals_on_an_8_bit_desktop():
    """The close button quits as QUIT does (at the prompt nothing is read
    yet); a signal keeps the file unless the run raised the best score. The
    desktop is too small for a window twice the picture's size: k is 1."""
    folder = scratch()
    path, timing = os.path.join(folder, "hiscore.zrn"), os.path.join(folder, "timing.txt")
    title = frames().title

    def seen_through_the_shared_colours(win):
        # As a VNC server of depth 8 shows it; the window is centred, as full screen's picture is.
        win.find(full=True)
        assert win.keep("title") == title

    def stall(win):  # in play, stopped for 3 s as by a suspend, and continued
        time.sleep(1)
        win.proc.send_signal(signal.SIGSTOP)
        time.sleep(3)
        win.proc.send_signal(signal.SIGCONT)
        time.sleep(1)

    with xserver("600x400", depth=8) as env:
        env = dict(env, ZARN_TIMING=timing, TSAN_OPTIONS="halt_on_error=0 exitcode=66 second_deadlock_stack=1")
        pace = Pace()
        # The last run is the real program, timer and all, under ThreadSanitizer.
        for n, (keys, then, end, want_code, want) in enumerate([
                ([], None, "close", 0, EARLIER), (["2"], seen_through_the_shared_colours, "close", 0, SAVED),
                (["2", "Return"], None, "close", 0, SAVED), ([], None, signal.SIGINT, 130, EARLIER),
                (["2"], None, signal.SIGHUP, 129, EARLIER),
                (["2", "Return", "Down", "Left", "Up", "Right"], stall, signal.SIGTERM, 143, EARLIER)]):
            open(path, "wb").write(EARLIER)
            os.utime(path, (1e9, 1e9))
            with Window(env, folder, f"quit_{n}", command=[TSAN] if then is stall else None) as win:
                win.wait_for(prompt_shown)
                assert win.size == (320, 240), win.size
                for k in keys:
                    win.press(k)
                if then:
                    then(win)
                win.close() if end == "close" else win.proc.send_signal(end)
                code, err = win.finish()
            assert "ThreadSanitizer" not in err and code == want_code, (n, code, err[-3000:])
            assert open(path, "rb").read() == want and (os.stat(path).st_mtime == 1e9) == (want == EARLIER), n
        pace = pace.rate()
    # About 50 ticks a second (nine in ten of the machine's clock or more),
    # and after the stall one pending tick at most, for all the library's
    # timer calls back for every tick it missed.
    t = {l.split()[0]: [int(v) for v in l.split()[1:]] for l in open(timing)}
    (ticks, first, last), (handed, since, until) = t["ticks"], t["timer"]
    assert ticks > 150 and 0.9 * pace < (ticks - 1) / ((last - first) / 1e9 - 3) < 55, (t, pace)
    assert handed <= ((until - since) / 1e9 - 3) * 50 + 3, t


# No server setting found makes the X11 window fail while autodetection
# works: both windowed requests name the same driver, which the config file
# cannot refuse. This stand-in refuses them in the library call itself.
NO_WINDOW = r"""
#include <allegro.h>
#include <dlfcn.h>
int set_gfx_mode(int card, int w, int h, int v_w, int v_h) {
  int (*real)(int, int, int, int, int) =
      (int (*)(int, int, int, int, int))dlsym(RTLD_NEXT, "set_gfx_mode");
  if (card == GFX_AUTODETECT_WINDOWED || card == GFX_XWINDOWS) {
    ustrzcpy(allegro_error, ALLEGRO_ERROR_SIZE, "no window on this server");
    return -1;
  }
  return real(card, w, h, v_w, v_h);
}
"""


def test_session_full_screen_at_the_desktop_size():
    shim = tempfile.mkdtemp(prefix="zarn-shim-")
    open(os.path.join(shim, "nowin.c"), "w").write(NO_WINDOW)
    # Linked to the library, so that the launcher's shell, which loads it too, finds its symbols.
    subprocess.run(["cc", "-shared", "-fPIC", "-o", "nowin.so", "nowin.c", "-lalleg", "-ldl"], cwd=shim, check=True)
    folder = scratch(hiscore=SAVED)
    path, title = os.path.join(folder, "hiscore.zrn"), frames().title
    with xserver("1920x1080") as env:
        # Where no window can be had: no question, the title comes straight
        # up in full screen; the close button works there too.
        with Window(env, folder, "autodetect", os.path.join(shim, "nowin.so"), full=True) as win:
            win.wait_for(lambda img: img == title, what="the title without the prompt")
            full_screen_title(win, title)
            win.close()
            assert win.finish()[0] == 0

        # At most 5 % of a core: about 2.5 % here, 6 % to 7 % when every pass
        # sends the whole picture, not the rows that changed.
        with Window(env, folder, "full_screen") as win:
            win.wait_for(prompt_shown, what="the mode prompt")
            assert win.size == (960, 720)
            win.press("1", settle=1.0)
            win.find(full=True)
            full_screen_title(win, title)
            # The screen resized under it, and back: fitted again each time.
            # (Xvfb resizes the screen, then refuses to keep its one output.)
            for size, k in [((1280, 720), 3), ((1920, 1080), 4)]:
                subprocess.run(["xrandr", "--fb", "{}x{}".format(*size)], env=env, capture_output=True)
                time.sleep(1.5)
                full_screen_title(win, title, size, k)
            shares = [cpu_share([win.proc.pid], 4)[0][0]]
            win.press("Return", settle=0.3)
            check_game_start(win.keep("game_start"), frames().game, 2570)
            shares.append(cpu_share([win.proc.pid], 4)[0][0])
            code, err = win.quit_from_game()
        assert code == 0 and max(shares) < 0.05, (code, shares, err)
        assert open(path, "rb").read() == SAVED


def test_session_monitors():
    """The window scaled for the monitor under the pointer and shown on it,
    never below the picture's size; full screen covering that monitor alone,
    the picture as large as fits in its middle."""
    title = frames().title
    with xserver("3840x1080") as env:
        # (the monitors, the pointer's one, the window's size there, full
        # screen's scale); a square monitor's window keeps to 90 % of its width.
        for name, monitors, on, size, k in [
                ("side_by_side", [(0, 0, 1920, 1080), (1920, 0, 1920, 1080)], 1, (960, 720), 4),
                ("laptop_beside", [(0, 0, 1366, 768), (1366, 0, 1920, 1080)], 0, (640, 480), 3),
                ("square", [(0, 0, 1024, 1024)], 0, (640, 480), 3),
                ("tiny", [(0, 0, 340, 260)], 0, (320, 240), 1)]:
            set_monitors(env, *monitors)
            x, y, w, h = monitors[on]
            subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)], env=env, check=True)
            with Window(env, scratch(), f"monitors_{name}") as win:
                win.wait_for(prompt_shown)
                assert win.size == size, win.size
                win.press("1", settle=1.0)  # on the window's monitor
                win.find(full=monitors[on])
                full_screen_title(win, title, (w, h), k)
                win.close()
                assert win.finish()[0] == 0


def start_game(win):
    """Return on the title's START GAME, pressed again while the title still
    shows: on a loaded machine a game can miss a press that begins and ends
    between two of its looks at the keys (none is lost in the key buffer)."""
    for _ in range(3):
        win.press("Return", hold=0.08, settle=0.05)
        end = time.time() + 2
        while time.time() < end:
            img = win.grab()
            if img is not None and not shows_text(img, 120, 178, "QUIT", 42):
                return
            time.sleep(0.1)


def test_session_a_raised_best_score_survives_signals_a_destroyed_window_and_a_lost_display():
    """Five games at level 16 over a best score of -1, on five monitors. The
    first goes back to the title; the others are ended while the game over's
    box shows, each another way: one started with QUIT and INT ignored (as
    `zarn &`), two writing to a pipe with no reader (alone and launched)."""
    # (the end, the signals ignored from the start, a dead pipe, the command)
    games = [((signal.SIGHUP, signal.SIGHUP), (), False, None), ((signal.SIGQUIT,), (), True, [ZARN]),
             ((signal.SIGTERM, signal.SIGHUP), (signal.SIGQUIT, signal.SIGINT), False, None),
             ("window", (), True, None), ("display", (), False, None)]
    with xserver("3840x1080") as env:
        set_monitors(env, *[(768 * i, 0, 768, 1080) for i in range(5)])
        wins = []
        try:
            for i, (_, ignored, dead_pipe, command) in enumerate(games):
                subprocess.run(["xdotool", "mousemove", str(768 * i + 384), "540"], env=env, check=True)
                wins.append(Window(env, scratch(hiscore=b"\xff\xff\xff\xff"), f"raised_{i}",
                                   command=command, ignored=ignored, dead_pipe=dead_pipe))
                wins[-1].press("2")
                for name in ["Down"] + ["Return"] * 15 + ["Up"]:
                    wins[-1].press(name, hold=0.08, settle=0.05)
                start_game(wins[-1])
            for win in wins:
                win.wait_for(lambda img: shows_text(img, 124, 100, "GAME OVER", 42), 120, "the game over")
                win.keep("game_over")
            wins[0].press("x")  # not a menu key
            wins[0].wait_for(lambda img: shows_text(img, 120, 178, "QUIT", 42), what="the title")
            # Ignored from the start, QUIT stays ignored: the game goes on.
            wins[2].proc.send_signal(signal.SIGQUIT)
            time.sleep(1)
            assert wins[2].proc.poll() is None and shows_text(wins[2].grab(), 124, 100, "GAME OVER", 42)
            for win, (end, _, dead_pipe, _) in zip(wins, games):
                began = time.monotonic()
                if end == "window":
                    subprocess.run(["xdotool", "windowclose", win.wid], env=env, check=True)
                elif end == "display":
                    os.kill(int(env["XVFB_PID"]), signal.SIGKILL)
                else:  # a terminal closed, or a session's end: the second 2 ms after the first
                    for n in end:
                        win.proc.send_signal(n)
                        time.sleep(0.002)
                code, err = win.finish()
                assert open(os.path.join(win.folder, "hiscore.zrn"), "rb").read() == bytes(4), end
                if isinstance(end, tuple):  # both pending on a busy machine, the lower number comes first
                    assert code - 128 in end and "Shutting down" not in err, (end, code, err[-300:])
                else:  # one clear line, promptly
                    said = {"window": "window on the display {} is gone", "display": "the display {} has gone"}[end]
                    assert code == 1 and time.monotonic() - began < 2.5, (end, code)
                    assert dead_pipe or said.format(env["DISPLAY"]) in err, err
        finally:
            for win in wins:
                win.kill()
