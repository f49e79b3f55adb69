# SPDX-License-Identifier: MIT
"""Start-up, game start and end, and the replay tool's own script and
command-line checks; bad packs and high-score files are in test_faults."""
import struct

from zarn_test import QUIT, scratch, trace


def test_display_choices(tool):
    # The prompt polls until 1 or 2 is down; the pass that sees it is its last.
    for keys in ("1", "2", "1,2"):
        run = trace([". x3", ". ESC,A,UP,ENTER x2", f". {keys}", ". x2"], tool=tool)
        assert [p["loop"] for p in run.passes] == ["prompt"] * 6 + ["menu"] * 2, keys
    # Only autodetection works: the title comes straight up.
    run = trace([". x3"], "--display", "auto", tool=tool)
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


def test_passes_without_a_tick_change_nothing_and_esc_keeps_the_best_score():
    # A best score of -5 (taken from the file unchanged), which any score
    # beats; yet a game left with Esc must not take it.
    lines = [". 2", ".", ". ENTER"] + ["T"] * 5 + ["."] * 3 + ["T"] * 3 + \
        [". UP,LEFT", ". RIGHT", "T", ". ESC", "."] + QUIT
    run = trace(lines, folder=scratch(hiscore=struct.pack("<i", -5)))
    ps = run.passes
    for i, line in enumerate(lines[:len(ps) - 1]):
        if line.startswith(".") and ps[i]["loop"] == "game":
            assert ps[i + 1]["loop"] == "menu" if "ESC" in line else {**ps[i], "pass": 0} == {**ps[i + 1], "pass": 0}, i
    assert run.last["exit"] == 0 and run.last["hiscore"] == -5


def test_script_and_command_line_errors(tool):
    for bad in ("t", "X", "T FOO", "T UP,foo", "T x0", "T @a.b", "T @"):
        run = trace(["# first a comment", ". 2", "", ". x2", bad, ". ENTER", "T x5"], tool=tool)
        assert run.returncode == 2 and "line 5" in run.stderr, (bad, run.stderr)
        assert [l.get("pass") for l in run.lines] == [0, 1, 2], bad
    for options in (["--bogus"], ["--seed", "4294967296"], ["--seed", "-1"],
                    ["--display", "full"], ["--seed"]):
        run = trace([". 2"], *options, tool=tool)
        assert run.returncode == 2 and run.lines == [] and run.stderr, options
    run = trace([". 2", "."], "--seed", "4294967295", tool=tool)
    assert run.returncode == 0 and len(run.passes) == 2
