"""Start-up, the resource pack, the high-score file, game start and end, and
the replay tool's own script and command-line checks."""
import os
import struct
import subprocess
import tempfile
import wave

from zarn_test import BUILD, PACK, scratch, start_game, trace

QUIT = [". DOWN", ".", ". DOWN", ".", ". DOWN", ".", ". ENTER"]
KNOWN = b"\x07\x00\x00\x00"  # a stored best score of 7
OLD = 1_000_000_000  # a modification time no run can give a file

# The kind of object each index must hold; 23 and 25 are unused slots.
KINDS = ["BMP"] * 40
KINDS[14], KINDS[20], KINDS[23], KINDS[25] = "FONT", "PAL", "DATA", "DATA"
for _i in (21, 22, 24, 26, 27, 28, 29, 30, 31, 32):
    KINDS[_i] = "SAMP"


def bmp8(w, h):
    stride = (w + 3) & ~3
    rows = (b"\1" * w).ljust(stride, b"\0") * h
    pal = b"".join(bytes((c, c, c, 0)) for c in range(256))
    return struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 1078 + len(rows), 0, 0, 1078, 40, w, h,
                       1, 8, 0, len(rows), 2835, 2835, 256, 256) + pal + rows


def make_pack(folder, kinds=KINDS, password="qev"):
    """Writes a zarn.dat into folder whose object i is of kind kinds[i]."""
    src = tempfile.mkdtemp(prefix="zarn-pack-")
    groups = {}
    for i, kind in enumerate(kinds):
        name = "%02d_o.%s" % (i, {"SAMP": "wav", "FONT": "fnt", "DATA": "dat"}.get(kind, "bmp"))
        path = os.path.join(src, name)
        if kind == "SAMP":
            with wave.open(path, "wb") as f:
                f.setnchannels(1), f.setsampwidth(1), f.setframerate(11025)
                f.writeframes(b"\x80" * 200)
        else:
            data = {"FONT": b"\x55" * 2048, "DATA": b"x"}.get(kind) or \
                (bmp8(320, 240) if i in (15, 33) else bmp8(12, 12))
            with open(path, "wb") as f:
                f.write(data)
        groups.setdefault(kind, []).append(name)
    for kind, names in groups.items():
        subprocess.run(["dat", "-n1", "-s1", "-007", password, os.path.join(folder, "zarn.dat"),
                        "-a", "-t", kind, *names], cwd=src, stdin=subprocess.DEVNULL,
                       capture_output=True, check=True, timeout=60)


def guarded_folder(pack=True, pack_bytes=None):
    """A folder with a high-score file whose bytes and time are known."""
    folder = scratch(pack=pack and pack_bytes is None, hiscore=KNOWN)
    os.utime(os.path.join(folder, "hiscore.zrn"), (OLD, OLD))
    if pack_bytes is not None:
        with open(os.path.join(folder, "zarn.dat"), "wb") as f:
            f.write(pack_bytes)
    return folder


def assert_untouched(folder):
    path = os.path.join(folder, "hiscore.zrn")
    assert open(path, "rb").read() == KNOWN and os.stat(path).st_mtime == OLD


def assert_refused(folder, first_line="Error loading zarn.dat ", *options):
    """The run shows one message, passes through no loop and ends with 1."""
    run = trace([". 2", ". x3"], *options, folder=folder)
    msgs = [l["message"] for l in run.lines if "message" in l]
    assert len(msgs) == 1 and msgs[0].split("\n")[0] == first_line, msgs
    assert run.passes == [] and run.returncode == 0
    assert list(run.last)[0] == "exit" and run.last["exit"] == 1
    assert run.last["hiscore"] == 0  # the file was never read
    assert_untouched(folder)


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
    assert_refused(guarded_folder(pack=False))
    whole = open(PACK, "rb").read()
    assert_refused(guarded_folder(pack_bytes=whole[:len(whole) // 2]))
    # Flip a range wider than any one object, so some object header is hit.
    flipped = bytearray(whole)
    for i in range(len(whole) // 4, 3 * len(whole) // 4):
        flipped[i] ^= 0xFF
    assert_refused(guarded_folder(pack_bytes=bytes(flipped)))
    # A hand-made pack of the right kinds loads: the builder is sound, so the
    # variants below fail for the one reason each is made with.
    good = guarded_folder(pack=False)
    make_pack(good)
    run = trace([". 2", ". ENTER", "T x3", "T ESC", ". x2"], folder=good)
    assert [p["loop"] for p in run.passes] == ["prompt", "menu"] + ["game"] * 4 + ["menu"] * 2
    assert not [l for l in run.lines if "message" in l]
    wrong_kind = list(KINDS)
    wrong_kind[15] = "DATA"
    for kinds, password in ((KINDS, "WRONG"), (KINDS[:39], "qev"), (wrong_kind, "qev")):
        folder = guarded_folder(pack=False)
        make_pack(folder, kinds, password)
        assert_refused(folder)


def test_game_music():
    script = start_game(["T x274", "T", "T x3", "T ESC", ". x2"])
    run = trace(script)
    plays = [(p, s) for p, s in run.events() if s.get("sound") == "play"]
    # The pass that chose the game plays its start; then the 275th tick the music.
    [(p, start)] = [(p, s) for p, s in plays if s["sample"] == 24]
    assert start["loop"] == 0 and [run.passes[p + i]["loop"] for i in (0, 1)] == ["menu", "game"]
    [(p, music)] = [(p, s) for p, s in plays if s["sample"] == 27]
    assert music["loop"] == 1
    assert run.passes[p]["run_ticks"] == 274 and run.passes[p + 1]["run_ticks"] == 275
    # Without sound the same game runs identically and silently.
    quiet = trace(script, "--no-sound")
    assert not quiet.sounds() and quiet.passes == [{**l, "sound_on": 0} for l in run.passes]
    # A game left before its 275th tick never starts the music.
    run = trace(start_game(["T x270", "T ESC", ". x2"]))
    assert not [s for s in run.sounds() if s["sound"] == "play" and s["sample"] == 27]
    assert run.passes[-1]["loop"] == "menu"
    assert max(p["run_ticks"] for p in run.passes) == 271


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
    assert ps[first]["cur_params"] == [2, 150, 100, 30, 30]      # row of level index 0
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
    assert ps[second]["level"] == 1 and ps[second]["cur_params"] == [4, 150, 100, 30, 30]
    assert ps[second]["top_score"] == -5
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


def test_quit_writes_hiscore():
    folder = scratch()
    run = trace([". 2"] + QUIT, folder=folder)
    assert list(run.last)[0] == "exit" and run.last["exit"] == 0
    path = os.path.join(folder, "hiscore.zrn")
    assert open(path, "rb").read() == b"\x64\x00\x00\x00"
    assert os.stat(path).st_mode & 0o777 == 0o664
    # Each 0A byte is stored after an added 0D; anything past the value goes.
    for stored, value, rewritten in (
            (b"\x0d\x0a\x00\x00\x00", 10, None),
            (b"\x0d\x0a\x0d\x0a\x00\x00", 2570, None),
            (b"\x40\xe2\x01\x00", 123456, None),
            (b"\x0d\x00\x00\x00", 13, None),
            (b"\x05\x00\x00\x00junk", 5, b"\x05\x00\x00\x00")):
        folder = scratch(hiscore=stored)
        run = trace([". 2"] + QUIT, folder=folder)
        assert all(p["hiscore"] == value for p in run.passes[1:]), stored
        assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == (rewritten or stored)


def test_real_program_without_display():
    folder = scratch()
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    proc = subprocess.run([os.path.join(BUILD, "zarn")], cwd=folder, env=env,
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode == 1, (proc.returncode, proc.stderr)
    assert "display" in proc.stderr.lower() and "Sanitizer" not in proc.stderr
    assert not os.path.exists(os.path.join(folder, "hiscore.zrn"))
