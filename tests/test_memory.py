"""Memory and threads: a whole scripted session under valgrind's memcheck on
the plain build, and the real program, timer and all, under ThreadSanitizer in
a window under Xvfb."""
import json
import os
import subprocess
import time

from xwindow import Window, xserver
from zarn_test import BUILD, good_bot, scratch

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def record_session(seed):
    """Plays prompt, instruction pages, a game by the good player and QUIT on
    the plain build's zarn-trace, and returns the script lines it sent and
    the last line it printed."""
    proc = subprocess.Popen([os.path.join(BUILD, "zarn-trace"), "--seed", str(seed), "-"],
                            cwd=scratch(), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            text=True, bufsize=1)
    menu = iter(["DOWN", "", "DOWN", "", "ENTER", "",  # the instruction pages
                 "UP", "", "UP", "", "ENTER", "",  # a game
                 "DOWN", "", "DOWN", "", "DOWN", "", "ENTER"])  # QUIT
    lines, page_ticks, game_ticks = [], 0, 0
    for out in proc.stdout:
        s = json.loads(out)
        if "exit" in s or "end" in s:
            break
        if "pass" not in s:
            continue
        if s["loop"] == "prompt":
            line = ". 2"
        elif s["loop"] == "menu":
            line = ". " + next(menu)
        elif s["loop"] == "instructions":
            page_ticks += 1
            line = "T SPACE" if page_ticks == 300 else "T"
        else:
            game_ticks += 1
            line = "T ESC" if game_ticks == 2500 else "T " + good_bot(s)
        lines.append(line)
        proc.stdin.write(line + "\n")
    proc.stdin.close()
    proc.wait(timeout=60)
    return lines, s


def test_memory_whole_session_under_valgrind():
    lines, last = record_session(5)
    # The recorded game must have been a real one: barrels handed over.
    assert last.get("exit") == 0 and last["score"] >= 100, last
    folder = scratch()
    proc = subprocess.run(
        ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
         "--errors-for-leak-kinds=definite,indirect",
         os.path.join(BUILD, "zarn-trace"), "--seed", "5", "-"],
        input="\n".join(lines) + "\n", capture_output=True, text=True, cwd=folder, timeout=600)
    assert proc.returncode == 0, proc.stderr[-4000:]
    assert "ERROR SUMMARY: 0 errors" in proc.stderr, proc.stderr[-2000:]
    # Under valgrind the same script plays the same session to the same end.
    assert json.loads(proc.stdout.splitlines()[-1]) == last
    assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == \
        last["hiscore"].to_bytes(4, "little").replace(b"\n", b"\r\n")


def test_memory_real_timer_and_loop_under_thread_sanitizer():
    exe = os.path.join(TOP, "build-tsan", "zarn")
    folder = scratch()
    timing = os.path.join(folder, "timing.txt")
    # A desktop too small for a window twice the picture's size: k is 1.
    with xserver("600x400") as env:
        env = dict(env, ZARN_TIMING=timing,
                   TSAN_OPTIONS="halt_on_error=0 exitcode=66 second_deadlock_stack=1")
        win = Window(env, folder, "thread_sanitizer", command=[exe])
        try:
            win.press("2")
            assert win.grab() and win.size == (320, 240), win.size
            win.press("Return")
            for name in ("Down", "Left", "Up", "Right"):  # the timer thread ticks meanwhile
                win.press(name, hold=0.6)
            time.sleep(2)
            code, err = win.quit_from_game()
        finally:
            win.kill()
    assert "ThreadSanitizer" not in err, err[-6000:]
    assert code == 0, err[-3000:]
    ticks = open(timing).read().split("\n")[3].split()
    # The game loop really ran on the real timer: about 50 ticks a second.
    seconds = (int(ticks[3]) - int(ticks[2])) / 1e9
    assert int(ticks[1]) > 150 and 45 < (int(ticks[1]) - 1) / seconds < 55, ticks
