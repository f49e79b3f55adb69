# SPDX-License-Identifier: MIT
"""ZARN for Windows: the zip tools/windows.sh packs, unpacked into a folder of
its own and played under Wine in an Xvfb of the tests' own, keys through
xdotool as in the Linux sessions. Screenshots in build/artefacts/session/."""
import contextlib
import os
import subprocess
import tempfile
import time
import zipfile

from xwindow import EARLIER, SAVED, Window, check_game_start, frames, prompt_shown, xserver
from zarn_test import built_by

BUILDS = ("windows",)

FILES = ["README.txt", "zarn.dat", "zarn.exe"]


def unpacked_zip():
    """Builds the zip (quick once Allegro is built) and unpacks it; returns
    the game's folder and Wine's scratch prefix beside the zip."""
    zip_path = built_by("windows.sh")[-1]
    # Named in Cyrillic, as some players' folders are, on a file system of
    # its own that a test can make read-only.
    folder = os.path.join(tempfile.mkdtemp(prefix="zarn-windows-"), "ЗАРН")
    os.mkdir(folder)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16m", "tmpfs", folder], check=True)
    with zipfile.ZipFile(zip_path) as z:
        assert sorted(z.namelist()) == FILES
        z.extractall(folder)
    return folder, os.path.join(os.path.dirname(zip_path), "wineprefix")


def start(env, folder, run):
    """zarn.exe started from another folder, as a shell or a shortcut may:
    it must find its pack and best score beside itself all the same."""
    win = Window(env, os.path.dirname(folder), run, command=["wine", os.path.join(folder, "zarn.exe")])
    win.wait_for(prompt_shown, 60, "the mode prompt")
    return win


def sessions(env, folder, title, game):
    """A game in a window, one in full screen, one without the pack."""
    with start(env, folder, "windows_window") as win:
        win.keep("prompt")
        win.press("2")
        win.wait_for(lambda img: img == title, 10, "the title")
        # Enlarged as on Linux: twice, on this 1024x768 desktop.
        assert win.keep("title") == title and win.size == (640, 480), win.size
        win.press("Return", settle=0.3)
        check_game_start(win.keep("game_start"), game, 2570)
        code, err = win.quit_from_game()
        assert code == 0, err
    # The value read through the translation, written back the same way,
    # the stray byte after it gone, and nothing else left in the folder.
    assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == SAVED
    assert sorted(os.listdir(folder)) == sorted(FILES + ["hiscore.zrn"])

    # Full screen at the desktop's size, no mode switched (Wine on Xvfb gives
    # it the keys only now and then). The close button saves as QUIT does, a
    # score the read-only folder cannot take: the wide-character box names
    # the folder as it is, and once answered the game ends promptly, exit 1.
    win = start(dict(env, WINEDEBUG="-all,+msgbox"), folder, "windows_full_screen")
    try:
        win.press("1", settle=0)
        end = time.time() + 60
        while True:  # windows come and go until the full screen's stays
            assert time.time() < end, "no title in full screen"
            with contextlib.suppress(ValueError, subprocess.CalledProcessError):
                win.find()
                if win.grab() == title:
                    break
            time.sleep(0.2)
        assert win.keep("title") == title and (win.size, win.k) == ((1024, 768), 3), win.size
        open(os.path.join(folder, "hiscore.zrn"), "wb").write(b"\x01\0\0\0")
        subprocess.run(["mount", "-o", "remount,ro", folder], check=True)
        win.close()
        win.others |= win.windows()
        win.find()  # the box
        win.press("Return", settle=0)
        answered = time.monotonic()
        code, err = win.finish()
    finally:
        win.kill()
        subprocess.run(["mount", "-o", "remount,rw", folder], check=True)
    assert code == 1 and time.monotonic() - answered < 15, (code, time.monotonic() - answered)
    assert r"\0417\0410\0420\041d\\hiscore.zrn" in err, err[-500:]  # as Wine's trace writes "ЗАРН\"
    assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == b"\x01\0\0\0"

    # Without the pack only its message box shows (its text read from
    # Wine's trace of it), the exit value is 1 and the score stays.
    os.remove(os.path.join(folder, "zarn.dat"))
    with Window(dict(env, WINEDEBUG="-all,+msgbox"), os.path.dirname(folder), "windows_no_pack",
                command=["wine", os.path.join(folder, "zarn.exe")]) as win:
        win.press("Return")
        code, err = win.finish()
    assert code == 1 and r'"Error loading zarn.dat \nfile not found\n"' in err, err[-500:]
    assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == b"\x01\0\0\0"


def test_windows_zip_under_wine():
    folder, prefix = unpacked_zip()
    open(os.path.join(folder, "hiscore.zrn"), "wb").write(EARLIER)
    with xserver() as env:
        # No debug output, and no offer to install Wine's .NET or browser.
        env = dict(env, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            subprocess.run(["wineboot", "-i"], env=env, capture_output=True, timeout=600, check=True)
        try:
            sessions(env, folder, frames().title, frames().game)
        finally:
            # A killed wine leaves its Windows process running: end the
            # prefix's processes, all of them this test's.
            subprocess.run(["wineserver", "-k"], env=env, capture_output=True, timeout=60)
            subprocess.run(["umount", folder])
