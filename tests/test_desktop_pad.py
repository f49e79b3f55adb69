# SPDX-License-Identifier: MIT
"""The desktop's game pad: the game under Xvfb played on a stand-in pad that
the library's Linux joystick driver reads, a FIFO named by allegro.cfg fed
js_event records, tests/pad/stand_in_pad.c answering the driver's ioctls."""
import os
import struct
import subprocess
import tempfile
import time

from xwindow import EARLIER, Window, frames, played_on_a_pad, prompt_shown, xserver
from zarn_test import BUILD, scratch

BUILDS = ()
STAND_IN = os.path.join(BUILD, "tests", "libstand_in_pad.so")
BUTTON, AXIS = 1, 2
# The keys the faces press as the pad's controls (type, number, value on,
# value off) in xpad's numbering: the left stick (axes 0, 1) climbs and
# hands over, past half-way only; the d-pad's hat (axes 6, 7) moves the menu
# and reaches right; A, B, Back and Start are buttons 0, 1, 6 and 7.
CONTROLS = {"Return": (BUTTON, 0, 1, 0), "Escape": (BUTTON, 1, 1, 0), "Back": (BUTTON, 6, 1, 0),
            "Start": (BUTTON, 7, 1, 0), "Up": (AXIS, 1, -19660, -13106), "Down": (AXIS, 1, 19660, 13106),
            "Left": (AXIS, 0, -19660, -13106), "Right": (AXIS, 6, 32767, 0),
            "PadUp": (AXIS, 7, -32767, 0), "PadDown": (AXIS, 7, 32767, 0)}


class PadFace:
    """The window played on the stand-in pad, plugged in before the game
    starts: keys are pressed as the pad's controls, the rest is the window's."""

    def __init__(self, fifo, env):
        self.win, self.fifo, self.env = None, fifo, env
        self.plug(True)

    def __getattr__(self, name):
        return getattr(self.win, name)

    def plug(self, on):
        if on:
            os.mkfifo(self.fifo)
            self.fd = os.open(self.fifo, os.O_RDWR)  # held open for writing, it never ends
        else:
            os.unlink(self.fifo)
            os.close(self.fd)

    def set(self, name, on):
        kind, number, value, off = CONTROLS[name]
        os.write(self.fd, struct.pack("<IhBB", time.monotonic_ns() // 10**6 & 0xffffffff, value if on else off,
                                      kind, number))

    def press(self, name, hold=0.15, settle=0.2):
        self.set(name, True)
        time.sleep(hold)
        self.set(name, False)
        time.sleep(settle)

    def hold_down(self, on):
        """The keyboard's Down, without the server's repeats."""
        subprocess.run(["xset", "r", "off"], env=self.env, check=True)
        subprocess.run(["xdotool", "sleep", "0.5", "mousemove", "--window", self.win.wid, "5", "5",
                        "keydown" if on else "keyup", "Down"], env=self.env, check=True)


def test_desktop_pad_menu_a_handover_and_pulled_out():
    config = tempfile.mkdtemp(prefix="zarn-pad-")
    open(os.path.join(config, "allegro.cfg"), "w").write(f"[joystick]\njoystick_device = {config}/js0\n")
    with xserver() as env:
        pad = PadFace(os.path.join(config, "js0"), env)
        pad.win = win = Window(dict(env, ALLEGRO=config), scratch(hiscore=EARLIER), "desktop_pad", preload=STAND_IN)
        try:
            win.wait_for(prompt_shown, what="the mode prompt")
            played_on_a_pad(pad)
            assert win.size == (640, 480)
            pad.press("Back")
            win.wait_for(lambda img: img == frames().title, what="the title after Back")
        finally:
            win.kill()
