# SPDX-License-Identifier: MIT
"""Start-up, game start and end, and the replay tool's own script and
command-line checks; bad packs and high-score files are in test_faults."""
import struct

from zarn_test import LEVELS, QUIT, scratch, trace


def test_display_choices():
    # The prompt polls until 1 or 2 is down; the pass that sees it is its last.
    for keys in ("1", "2", "1,2"):
        run = trace([". x3", ". ESC,A,UP,ENTER x2", f". {keys}", ". x2"])
        assert [p["loop"] for p in run.passes] == ["prompt"] * 6 + ["menu"] * 2, keys
    # Only autodetection works: the title comes straight up.
    run = trace([". x3"], "--display", "auto")
    assert [p["loop"] for p in run.passes] == ["menu"] * 3


def test_game_music():
    script = [". 2", ". ENTER", "T x274", "T", "T x3", "T ESC", ". x2"]
    run = trace(script)
    plays = [(p, s) for p, s in run.events() if s.get("sound") == "play"]
    # The pass that chose the game plays its start; then the 275th tick the music.
    [(p, start)] = [(p, s) for p, s in plays if s["sample"] == 24]
    assert start["loop"] == 0 and [run.passes[p + i]["loop"] for i in (0, 1)] == ["menu", "game"]
    [(p, music)] = [(p, s) for p, s in plays if s["sample"] == 27]
    assert music["loop"] == 1 and [run.passes[p + i]["run_ticks"] for i in (0, 1)] == [274, 275]
    # Without sound the same game runs identically and silently.
    quiet = trace(script, "--no-sound")
    assert not quiet.sounds() and quiet.passes == [{**l, "sound_on": 0} for l in run.passes]
    # A game left before its 275th tick never starts the music.
    run = trace([". 2", ". ENTER", "T x270", "T ESC", ". x2"])
    assert not [s for s in run.sounds() if s["sound"] == "play" and s["sample"] == 27]
    assert run.passes[-1]["loop"] == "menu" and max(p["run_ticks"] for p in run.passes) == 271


def test_game_start_esc_and_passes_without_tick():
    # A negative best score (taken from the file unchanged) is beaten by any
    # score, yet Esc while playing must not take it.
    folder = scratch(hiscore=struct.pack("<i", -5))
    lines = [". 2", ".", ". ENTER"] + ["T"] * 5 + ["."] * 3 + ["T"] * 3 + \
        [". UP,LEFT", ". RIGHT", "T", ". ESC", ".", ". DOWN", ".", ". ENTER", ".", ". UP", ".",
         ". ENTER", "T", "T", "T ESC", "."] + QUIT
    run = trace(lines, folder=folder)
    ps = run.passes
    loops = [p["loop"] for p in ps]
    first = loops.index("game")
    assert ps[first - 1]["cur_params"] == [2, 200, 100, 30, 25]  # before any game
    assert ps[first]["cur_params"] == LEVELS[0]
    assert ps[first]["top_score"] == -5 and ps[first + 1]["top_score"] == 0
    for i, line in enumerate(lines[:len(ps) - 1]):
        if line.startswith(".") and loops[i] == "game":
            if "ESC" in line:
                assert loops[i + 1] == "menu", i
            else:
                assert {**ps[i], "pass": 0} == {**ps[i + 1], "pass": 0}, i
    assert all(p["hiscore"] == -5 for p in ps[1:])  # loaded after the prompt
    # The second game starts at level index 1, with the best score unchanged.
    second = loops.index("game", loops.index("menu", first))
    assert (ps[second]["level"], ps[second]["cur_params"], ps[second]["top_score"]) == (1, LEVELS[1], -5)
    assert run.last["exit"] == 0


def test_script_and_command_line_errors():
    for bad in ("t", "X", "T FOO", "T UP,foo", "T x0", "T @a.b", "T @"):
        run = trace(["# first a comment", ". 2", "", ". x2", bad, ". ENTER", "T x5"])
        assert run.returncode == 2 and "line 5" in run.stderr, (bad, run.stderr)
        assert [l.get("pass") for l in run.lines] == [0, 1, 2], bad
    for options in (["--bogus"], ["--seed", "4294967296"], ["--seed", "-1"],
                    ["--display", "full"], ["--seed"]):
        run = trace([". 2"], *options)
        assert run.returncode == 2 and run.lines == [] and run.stderr, options
    run = trace([". 2", "."], "--seed", "4294967295")
    assert run.returncode == 0 and len(run.passes) == 2
