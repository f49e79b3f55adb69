"""Start-up, the resource pack, the high-score file, game start and end, and
the replay tool's own script and command-line checks."""
import json
import os
import shutil
import struct
import subprocess

from zarn_test import BUILD, LEVELS, QUIT, TRACE, dat, pack_names, scratch, trace

KNOWN = b"\x07\x00\x00\x00"  # a stored best score of 7
OLD = 1_000_000_000  # a modification time no run can give a file


def guarded_folder(pack=True):
    """A folder with a high-score file whose bytes and time are known."""
    folder = scratch(pack=pack, hiscore=KNOWN)
    os.utime(os.path.join(folder, "hiscore.zrn"), (OLD, OLD))
    return folder


def assert_refused(folder, first_line="Error loading zarn.dat ", *options, why=""):
    """The run shows one message, passes through no loop and ends with 1."""
    run = trace([". 2", ". x3"], *options, folder=folder)
    msgs = [l["message"] for l in run.lines if "message" in l]
    assert len(msgs) == 1 and msgs[0].split("\n")[0] == first_line, msgs
    assert why in msgs[0], msgs
    assert run.passes == [] and run.returncode == 0 and run.last["exit"] == 1
    assert run.last["hiscore"] == 0  # the file was never read, nor written
    path = os.path.join(folder, "hiscore.zrn")
    assert open(path, "rb").read() == KNOWN and os.stat(path).st_mtime == OLD


def test_display_choices():
    # The prompt polls until 1 or 2 is down; the pass that sees it is its last.
    for keys in ("1", "2", "1,2"):
        run = trace([". x3", ". ESC,A,UP,ENTER x2", f". {keys}", ". x2"])
        assert [p["loop"] for p in run.passes] == ["prompt"] * 6 + ["menu"] * 2, keys
    # Only autodetection works: the title comes straight up.
    run = trace([". x3"], "--display", "auto")
    assert [p["loop"] for p in run.passes] == ["menu"] * 3
    # No mode at all: a message, exit 1, and the high-score file untouched.
    assert_refused(guarded_folder(), "Error initialising graphicmode ", "--display", "none")


def test_pack_failures():
    assert_refused(guarded_folder(pack=False))  # damaged packs: test_bad_files
    # A one-object pack is refused for its size under the game's password,
    # and as unreadable under another: the password is what made the difference.
    for password, why in (("qev", "the game needs 40"), ("other", "wrong password")):
        folder = guarded_folder(pack=False)
        open(os.path.join(folder, "x"), "wb").write(b"x")
        subprocess.run(["dat", "-007", password, "-s1", "-a", "-t", "DATA", "zarn.dat", "x"], cwd=folder,
                       stdin=subprocess.DEVNULL, capture_output=True, check=True)
        assert_refused(folder, why=why)
    # One object of the built pack replaced by a byte of data, or deleted:
    # harmless at unused index 23, refused at 15 (a picture) and 39 (the last).
    for index, add in ((23, True), (15, True), (39, False)):
        folder = guarded_folder()
        dat(os.path.join(folder, "zarn.dat"), "-d", pack_names()[index])
        if add:
            open(os.path.join(folder, f"{index}.dat"), "wb").write(b"x")
            dat(os.path.join(folder, "zarn.dat"), "-a", "-t", "DATA", f"{index}.dat")
        if index != 23:
            assert_refused(folder)
            continue
        run = trace([". 2", ". ENTER", "T x3", "T ESC", ". x2"], folder=folder)
        assert [p["loop"] for p in run.passes] == ["prompt", "menu"] + ["game"] * 4 + ["menu"] * 2
        assert not [l for l in run.lines if "message" in l]


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
    assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == b"\xfb\xff\xff\xff"


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


def test_hiscore_file():
    # (stored bytes, value loaded, bytes quitting writes back when they
    # differ): one little-endian int written through a text stream, so each
    # 0A byte follows an added 0D; a missing or short file reads as 100.
    d = b"\x64\x00\x00\x00"
    cases = [(None, 100, d), (b"", 100, d), (b"\x39\x05\x00", 100, d), (b"\x0d\x0a\x00\x00", 100, d),
             (b"\x0d\x0a\x00\x00\x00", 10, None), (b"\x0d\x0a\x0d\x0a\x00\x00", 2570, None),
             (b"\x0d\x0a" * 4, 0x0A0A0A0A, None), (b"\xff\xff\xff\xff", -1, None),
             (b"\x0d\x00\x00\x00", 13, None), (b"\x0d\x0d\x0a\x01\x02", 0x02010A0D, None),
             (b"\x0a\x00\x00\x00", 10, b"\x0d\x0a\x00\x00\x00"),
             (b"\x10\x27\x00\x00\x55\x66\x77", 10000, b"\x10\x27\x00\x00"), ("dir", 100, "dir")]
    umask = os.umask(0o022)
    try:
        for stored, value, saved in cases:
            folder = scratch(hiscore=None if stored == "dir" else stored)
            path = os.path.join(folder, "hiscore.zrn")
            if stored == "dir":  # unreadable, and nothing can be written over it
                os.mkdir(path)
            run = trace([". 2"] + QUIT, folder=folder)
            assert all(p["hiscore"] == value for p in run.passes[1:]) and run.last["exit"] == 0, stored
            assert os.path.isdir(path) if saved == "dir" else open(path, "rb").read() == (saved or stored)
            assert stored is not None or os.stat(path).st_mode & 0o777 == 0o664  # a new file
    finally:
        os.umask(umask)


def test_read_only_hiscore_file_keeps_its_content():
    # Root writes through any permission, so the run drops to an ordinary
    # user, with a copy of the tool it can reach. A bare 0A byte would be
    # rewritten as 0D 0A: unchanged bytes show that nothing was written.
    folder = scratch(hiscore=b"\x0a\x00\x00\x00")
    shutil.copy(TRACE, os.path.join(folder, "zarn-trace"))
    os.chmod(folder, 0o755)
    os.chmod(os.path.join(folder, "hiscore.zrn"), 0o444)
    proc = subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                           "./zarn-trace", "-"], input="\n".join([". 2"] + QUIT) + "\n",
                          cwd=folder, capture_output=True, text=True, timeout=120)
    last = json.loads(proc.stdout.splitlines()[-1])
    assert (last["exit"], last["hiscore"]) == (0, 10), proc.stderr[-2000:]
    assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == b"\x0a\x00\x00\x00"


def test_real_program_without_display():
    folder = scratch()
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    proc = subprocess.run([os.path.join(BUILD, "zarn")], cwd=folder, env=env,
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode == 1, (proc.returncode, proc.stderr)
    assert "display" in proc.stderr.lower() and "Sanitizer" not in proc.stderr
    assert not os.path.exists(os.path.join(folder, "hiscore.zrn"))
