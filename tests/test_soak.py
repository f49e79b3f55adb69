# SPDX-License-Identifier: MIT
"""The soak through zarn-trace for 50,000 game ticks (tools/soak.py runs it
as long as asked), and its checker's own teeth: states it must refuse."""
import soak
from zarn_test import ROLLING, TRACE_BUILD, Driver, good_bot


def test_soak_50000_ticks_random_and_purposeful():
    # On the sanitizer build, like every replay.
    run = soak.soak(50000, seed=11, build=TRACE_BUILD)
    assert run.game_ticks == 50000 and run.games >= 3, (run.game_ticks, run.games)
    assert run.deepest >= 5, run.deepest


def test_soak_checker_refuses_states_out_of_bounds():
    d = Driver("--no-sound", seed=4)
    d.start(level_presses=15)
    d.run(good_bot, lambda s: any(b.state == ROLLING and b.sprite >= 34 for b in s["barrels"]), 3000)
    d.close()
    good, size = d.s, soak.sizes()
    soak.check_pass(good, size)
    i, b = next((i, b) for i, b in enumerate(good["barrels"]) if b.state == ROLLING and b.sprite >= 34)
    barrel = lambda **change: {"barrels": good["barrels"][:i] + [b._replace(**change)] + good["barrels"][i + 1:]}
    for what, change in {"barrel off its lane": barrel(y=b.y + 1), "barrel past its lane's start": barrel(x=400),
                         "slot past the level's count in use": {"barrels": good["barrels"][:19] + [b]},
                         "lost row past 14": {"misses": 15}, "ape below the bottom rung": {"ape_y": 220},
                         "bottom figure off screen": {"flames": [good["flames"][0], [310, 0, 0]]}}.items():
        try:
            soak.check_pass({**good, **change}, size)
        except soak.Broken:
            continue
        raise AssertionError(f"not refused: {what}")
