# SPDX-License-Identifier: MIT
"""Memory: a whole scripted session under valgrind's memcheck on the plain
build. (The real program under ThreadSanitizer runs in tests/test_session.py.)"""
import json
import os
import subprocess

from zarn_test import BUILD, Driver, good_bot, scratch


def record_session(seed):
    """Plays prompt, instruction pages, a game by the good player and QUIT
    through zarn-trace, and returns the script lines it sent."""
    d, lines = Driver(seed=seed), []
    for line in [". 2", ". DOWN", ". DOWN", ". ENTER"] + ["T"] * 300 + ["T SPACE", ". UP", ". UP", ". ENTER"]:
        lines += [line, "."]
        d.send(line)
    while d.s["run_ticks"] < 2500:
        lines += ["T " + good_bot(d.s), "."]
        d.send(lines[-2])
    d.close()
    return lines + ["T ESC", "."] + [". DOWN", "."] * 3 + [". ENTER"]


def test_memory_whole_session_under_valgrind():
    folder = scratch()
    proc = subprocess.run(
        ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
         "--errors-for-leak-kinds=definite,indirect",
         os.path.join(BUILD, "zarn-trace"), "--seed", "5", "-"],
        input="\n".join(record_session(5)) + "\n", capture_output=True, text=True, cwd=folder, timeout=600)
    assert proc.returncode == 0, proc.stderr[-4000:]
    assert "ERROR SUMMARY: 0 errors" in proc.stderr, proc.stderr[-2000:]
    # A real game to its end: barrels handed over, the best score saved.
    last = json.loads(proc.stdout.splitlines()[-1])
    assert last.get("exit") == 0 and last["score"] >= 100, last
    assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == \
        last["hiscore"].to_bytes(4, "little").replace(b"\n", b"\r\n")
