# SPDX-License-Identifier: MIT
"""The soak through zarn-trace for 50,000 game ticks (tools/soak.py runs it
as long as asked), and its checker's own teeth: a state it must refuse."""
import copy
import json

import soak
from zarn_test import TRACE_BUILD, Driver, good_bot


def test_soak_50000_ticks_random_and_purposeful():
    # On the sanitizer build, like every replay.
    run = soak.soak(50000, seed=11, build=TRACE_BUILD)
    assert run.game_ticks == 50000 and run.games >= 3, (run.game_ticks, run.games)
    assert run.deepest >= 5, run.deepest


def test_soak_checker_refuses_states_out_of_bounds():
    d = Driver("--no-sound", seed=4)
    d.start(level_presses=15)
    d.run(good_bot, lambda s: sum(b[0] == 1 and b[8] >= 34 for b in s["barrels"]) >= 2, 3000)
    d.close()
    size, good = soak.sizes(), d.s
    soak.check_pass(good, size)
    i = next(i for i, b in enumerate(good["barrels"]) if b[0] == 1 and b[8] >= 34)
    faults = {
        "barrel past the screen's bottom": ("barrels", i, 3, 236),
        "barrel off its lane": ("barrels", i, 3, good["barrels"][i][3] + 1),
        "barrel past its lane's start": ("barrels", i, 2, 400),
        "lost row past 14": ("misses", None, None, 15),
        "slot past the level's count in use": ("barrels", 19, 0, 2),
        "bottom figure off screen": ("flames", 1, 0, 310),
        "ape below the bottom rung": ("ape_y", None, None, 220),
    }
    for what, (key, i1, i2, value) in faults.items():
        s = copy.deepcopy(good)
        if i1 is None:
            s[key] = value
        else:
            s[key][i1][i2] = value
        try:
            soak.check_pass(s, size)
        except soak.Broken:
            continue
        raise AssertionError(f"not refused: {what}: {json.dumps(s)}")
