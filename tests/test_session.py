"""A player's whole session with the built game in a real window under Xvfb:
keys through xdotool, the screen read back and compared with what the pack
and zarn-trace say it must show. Screenshots of every screen are kept in
build/artefacts/session/ for a person to look at."""
import os
import subprocess
import tempfile

from xwindow import (Window, number_at, play_to_first_handover, shows_text, traced,
                     xserver)
from zarn_test import scratch

# A best score of 2570 from an earlier session: both its 0A bytes stored as
# 0D 0A, and a stray byte after the value that the next save must drop.
EARLIER = b"\x0d\x0a\x0d\x0a\x00\x00\xff"
SAVED = b"\x0d\x0a\x0d\x0a\x00\x00"
# The prompt's own colours: black, white and the heading's blue.
PROMPT_RGB = {0: b"\0\0\0", 1: b"\xff\xff\xff", 2: b"\x00\xb2\xff"}
TO_TITLE = [". 2", ".", ". @title"]
TO_INSTRUCTIONS = [". 2", ". DOWN", ".", ". DOWN", ". @title3", ". ENTER", "T x40", "T @page"]


def check_game_start(img, expected, best):
    assert shows_text(img, 16, 0, "Score:0000", 42) and shows_text(img, 240, 0, "Level:01", 42)
    assert number_at(img, 160, 0) == best, number_at(img, 160, 0)
    # Barrels and flames differ from the replay's; the playfield may not.
    same = sum(img[i:i + 3] == expected[i:i + 3] for i in range(0, len(img), 3))
    assert same > 0.8 * 320 * 240, f"only {same} pixels match the playfield"


def full_screen_game_and_quit(win, title, game):
    """From the title in full screen: a game that shows the best score kept
    from before, Esc, QUIT."""
    img = win.keep("title")
    assert win.size == (1024, 768) and img == title, win.size
    win.press("Return", settle=0.3)
    check_game_start(win.keep("game_start"), game, 2570)
    code, err = win.quit_from_game()
    assert code == 0, err


def test_session_window_play_instructions_quit_then_full_screen():
    folder = scratch(hiscore=EARLIER)
    title = traced(tuple(TO_TITLE))["title"]
    pages = traced(tuple(TO_INSTRUCTIONS))
    game = traced((". 2", ". ENTER", "T", "T @game"), EARLIER)["game"]
    with xserver() as env:
        win = Window(env, folder, "window")
        try:
            img = win.wait_for(lambda img: shows_text(img, 116, 96, "Choose Mode", 2, PROMPT_RGB),
                               what="the mode prompt")
            win.keep("prompt")
            assert shows_text(img, 104, 112, "1 - Fullscreen", 1, PROMPT_RGB)
            assert shows_text(img, 104, 120, "2 - Window", 1, PROMPT_RGB)
            win.press("2")
            assert win.keep("title") == title, "the title screen differs from the replay's"
            assert win.size == (320, 240)
            win.press("Return", settle=0.1)
            check_game_start(win.keep("game_start"), game, 2570)
            play_to_first_handover(win)
            win.keep("handed_over")
            win.press("Escape")
            assert win.keep("title_after_game") == title
            win.press("Down")
            win.press("Down")
            assert win.grab() == pages["title3"]
            win.press("Return", settle=1.0)
            assert win.keep("instructions") == pages["page"]
            win.press("space")
            assert win.keep("title_after_instructions") == pages["title3"]
            win.press("Down")
            win.press("Return", settle=0)
            code, err = win.finish()
            assert code == 0, err
        finally:
            win.kill()
        assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == SAVED

        # The next run reads that file; this time full screen.
        win = Window(env, folder, "full_screen")
        try:
            win.wait_for(lambda img: shows_text(img, 116, 96, "Choose Mode", 2, PROMPT_RGB),
                         what="the mode prompt")
            win.press("1", settle=1.0)
            win.find(full=True)
            full_screen_game_and_quit(win, title, game)
        finally:
            win.kill()
        assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == SAVED


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


def test_session_where_only_autodetection_works():
    shim = tempfile.mkdtemp(prefix="zarn-shim-")
    with open(os.path.join(shim, "nowin.c"), "w") as f:
        f.write(NO_WINDOW)
    # Linked to the library, so that the launcher's shell, which loads it too, finds its symbols.
    subprocess.run(["cc", "-shared", "-fPIC", "-o", "nowin.so", "nowin.c", "-lalleg", "-ldl"], cwd=shim,
                   check=True)
    folder = scratch(hiscore=SAVED)
    title = traced(tuple(TO_TITLE))["title"]
    game = traced((". 2", ". ENTER", "T", "T @game"), SAVED)["game"]
    with xserver() as env:
        win = Window(env, folder, "autodetect", os.path.join(shim, "nowin.so"), full=True)
        try:
            # No question: the title comes straight up, full screen.
            win.wait_for(lambda img: img == title, what="the title without the prompt")
            full_screen_game_and_quit(win, title, game)
        finally:
            win.kill()
    assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == SAVED
