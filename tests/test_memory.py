# SPDX-License-Identifier: MIT
"""Memory: a whole session played through zarn-trace under valgrind's
memcheck on the plain build. (The real program under ThreadSanitizer runs in
tests/test_session.py.)"""
import os

from zarn_test import BUILD, Driver, good_bot

MEMCHECK = ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
            "--errors-for-leak-kinds=definite,indirect"]


def test_memory_whole_session_under_valgrind():
    # The prompt, the instruction pages, a game by the good player and QUIT.
    d = Driver(seed=5, command=[*MEMCHECK, os.path.join(BUILD, "zarn-trace")])
    for line in [". 2", ". DOWN", ". DOWN", ". ENTER"] + ["T"] * 300 + ["T SPACE", ". UP", ". UP", ". ENTER"]:
        d.send(line)
    d.run(good_bot, lambda s: s["run_ticks"] >= 2500, 2600)
    for line in ["T ESC", ". DOWN", ". DOWN", ". DOWN", ". ENTER"]:
        d.send(line)
    d.close()
    err = open(d.err.name).read()
    assert d.proc.returncode == 0 and "ERROR SUMMARY: 0 errors" in err, err[-4000:]
    assert d.s["exit"] == 0 and d.s["score"] >= 100, d.s  # a real game, barrels handed over
