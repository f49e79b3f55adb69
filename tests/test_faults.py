"""Every bad input the program can meet, one table row each: what the run
must do and the high-score file's bytes after it. Nothing the player had is
lost: a refused start leaves the file alone, and so does a killed run."""
import json
import os
import random
import shutil
import signal
import struct
import subprocess
import time

from xwindow import Window, xserver
from zarn_test import BUILD, PACK, QUIT, TRACE, dat, pack_names, scratch, trace

KNOWN = b"\x07\x00\x00\x00"  # a stored best score of 7
OLD = 1_000_000_000  # a modification time no run can give a file
NEW = b"\x64\x00\x00\x00"  # 100, what a run without a usable file saves
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def guarded(folder):
    """Puts a high-score file whose bytes and time are known into the folder."""
    path = os.path.join(folder, "hiscore.zrn")
    open(path, "wb").write(KNOWN)
    os.utime(path, (OLD, OLD))
    return folder


def untouched(folder):
    path = os.path.join(folder, "hiscore.zrn")
    return open(path, "rb").read() == KNOWN and os.stat(path).st_mtime == OLD


def as_nobody(folder, script, folder_mode=0o755):
    """zarn-trace as an ordinary user (root writes through any permission),
    from a copy of the tool it can reach."""
    shutil.copy(TRACE, os.path.join(folder, "zarn-trace"))
    os.chmod(folder, folder_mode)
    proc = subprocess.run(NOBODY + ["./zarn-trace", "-"], input="\n".join(script) + "\n",
                          cwd=folder, capture_output=True, text=True, timeout=120)
    return [json.loads(l) for l in proc.stdout.splitlines()], proc.stderr


# ---- the resource pack -------------------------------------------------

def one_object(password):
    def make(folder):
        open(os.path.join(folder, "x"), "wb").write(b"x")
        subprocess.run(["dat", "-007", password, "-s1", "-a", "-t", "DATA", "zarn.dat", "x"],
                       cwd=folder, stdin=subprocess.DEVNULL, capture_output=True, check=True)
    return make


def replaced(index, add=True):
    """Object `index` of the built pack deleted, or replaced by a byte of data."""
    def make(folder):
        shutil.copy(PACK, os.path.join(folder, "zarn.dat"))
        dat(os.path.join(folder, "zarn.dat"), "-d", pack_names()[index])
        if add:
            open(os.path.join(folder, f"{index}.dat"), "wb").write(b"x")
            dat(os.path.join(folder, "zarn.dat"), "-a", "-t", "DATA", f"{index}.dat")
    return make


def pack_bytes(data):
    def make(folder):
        open(os.path.join(folder, "zarn.dat"), "wb").write(data)
    return make


def damaged_copies():
    """Cuts at the header, inside the object list and just short of the end,
    and runs of scrambled bytes."""
    good = open(PACK, "rb").read()
    rnd = random.Random(2026)
    for cut in (0, 3, 4, 8, 12, 100, len(good) // 2, len(good) - 1) + tuple(
            rnd.randrange(len(good)) for _ in range(8)):
        yield f"cut at {cut}", good[:cut], "refused"
    for _ in range(16):
        data, at = bytearray(good), rnd.randrange(len(good))
        for i in range(at, min(at + rnd.randint(1, 48), len(data))):
            data[i] = rnd.randrange(256)
        yield f"scrambled at {at}", bytes(data), "either"


# (what, how the pack is made, outcome, why): "refused" is the load error
# with exit 1, before any loop and with the high-score file untouched;
# "plays" is a working game.
PACKS = [("missing", None, "refused", ""),
         # One object: refused for its size under the game's password, as
         # unreadable under another; the password made the difference.
         ("too short", one_object(open(os.path.join(BUILD, "pack-password")).read()), "refused", "the game needs 40"),
         ("wrong password", one_object("other"), "refused", "wrong password"),
         ("a picture's slot holds data", replaced(15), "refused", ""),
         ("the last object gone", replaced(39, add=False), "refused", ""),
         ("data in an unused slot", replaced(23), "plays", "")] + \
        [(what, pack_bytes(data), outcome, "") for what, data, outcome in damaged_copies()]

PLAY = [". 2", ".", ". ENTER", "T x60", "T DOWN x20", "T ESC", ". x2", ". UP,ENTER", "T x5"]


def test_faults_bad_packs():
    outcomes = set()
    for what, make, outcome, why in PACKS:
        folder = guarded(scratch(pack=False))
        if make:
            make(folder)
        run = trace(PLAY, folder=folder)
        assert run.returncode == 0, f"{what}: exit {run.returncode}\n{run.stderr[-2000:]}"
        msgs = [l["message"] for l in run.lines if "message" in l]
        if msgs:
            assert outcome != "plays", (what, msgs)
            assert len(msgs) == 1 and msgs[0].startswith("Error loading zarn.dat \n"), (what, msgs)
            assert why in msgs[0], (what, msgs)
            assert run.passes == [] and run.last["exit"] == 1 and run.last["hiscore"] == 0, what
            outcomes.add("refused")
        else:
            assert outcome != "refused", f"{what}: accepted"
            assert any(p["loop"] == "game" for p in run.passes), f"{what}: neither refused nor played"
            outcomes.add("plays")
        assert untouched(folder), what  # the script never quits
    # Scrambled bytes inside a picture can still load; not all of them can.
    assert outcomes == {"refused", "plays"}


# ---- the high-score file -----------------------------------------------

def make_dir(folder):
    os.mkdir(os.path.join(folder, "hiscore.zrn"))


# (what, bytes at start or a setup, value loaded, bytes after quitting; None:
# unchanged). One little-endian int through a text stream's line ends: each
# 0A byte is stored after an added 0D, a 0D before anything else is itself.
# A file that can't be opened reads as 100; one that ends before four bytes
# holds no value and is taken the same way.
HISCORES = [
    ("missing", None, 100, NEW),
    ("empty", b"", 100, NEW),
    ("one byte", b"\x39", 100, NEW),
    ("two bytes", b"\x39\x05", 100, NEW),
    ("three bytes", b"\x39\x05\x00", 100, NEW),
    ("four bytes once 0D 0A is read as one", b"\x0d\x0a\x00\x00", 100, NEW),
    ("a translated 10", b"\x0d\x0a\x00\x00\x00", 10, None),
    ("a translated 2570", b"\x0d\x0a\x0d\x0a\x00\x00", 2570, None),
    ("every byte 0A", b"\x0d\x0a" * 4, 0x0A0A0A0A, None),
    ("a lone 0D", b"\x0d\x00\x00\x00", 13, None),
    ("a lone 0D before a pair", b"\x0d\x0d\x0a\x01\x02", 0x02010A0D, None),
    ("a bare 0A", b"\x0a\x00\x00\x00", 10, b"\x0d\x0a\x00\x00\x00"),
    ("long", b"\x10\x27\x00\x00\x55\x66\x77", 10000, b"\x10\x27\x00\x00"),
    ("negative", struct.pack("<i", -5), -5, None),
    ("the lowest int", struct.pack("<i", -2**31), -2**31, None),
    ("above 9999", struct.pack("<i", 123456), 123456, None),
    ("replaced by a directory", make_dir, 100, "dir"),
]


def test_faults_high_score_file():
    umask = os.umask(0o022)
    try:
        for what, stored, value, saved in HISCORES:
            folder = scratch(hiscore=stored if isinstance(stored, bytes) else None)
            path = os.path.join(folder, "hiscore.zrn")
            if callable(stored):
                stored(folder)
            run = trace([". 2"] + QUIT, folder=folder)
            assert run.last["exit"] == 0 and not [l for l in run.lines if "message" in l], what
            assert all(p["hiscore"] == value for p in run.passes[1:]), (what, run.passes[1]["hiscore"])
            if saved == "dir":
                assert os.path.isdir(path), what
            else:
                assert open(path, "rb").read() == (saved or stored), what
            if stored is None:  # a new file is shared by the group, whatever the umask
                assert os.stat(path).st_mode & 0o777 == 0o664, oct(os.stat(path).st_mode)
    finally:
        os.umask(umask)


def test_faults_high_score_file_not_writable():
    # A bare 0A byte would be rewritten as 0D 0A: unchanged bytes show that
    # nothing was written. The read-only directory has no file and gets none.
    for what, stored in (("read-only file", b"\x0a\x00\x00\x00"), ("read-only directory", None)):
        folder = scratch(hiscore=stored)
        path = os.path.join(folder, "hiscore.zrn")
        if stored:
            os.chmod(path, 0o444)
        try:
            lines, err = as_nobody(folder, [". 2"] + QUIT, folder_mode=0o755 if stored else 0o555)
        finally:
            os.chmod(folder, 0o755)
        assert (lines[-1]["exit"], lines[-1]["hiscore"]) == (0, 10 if stored else 100), (what, err[-2000:])
        assert open(path, "rb").read() == stored if stored else not os.path.exists(path), what


# ---- display, sound and signals ----------------------------------------

def test_faults_no_display_no_mode_no_sound():
    # No X server: the real program says so on the terminal and ends with 1.
    folder = guarded(scratch())
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    proc = subprocess.run([os.path.join(BUILD, "zarn")], cwd=folder, env=env,
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode == 1 and "display" in proc.stderr.lower(), (proc.returncode, proc.stderr)
    assert untouched(folder)
    # A server on which no mode can be set: the message, exit 1, no loop.
    folder = guarded(scratch())
    run = trace([". 2", ". x3"], "--display", "none", folder=folder)
    msgs = [l["message"] for l in run.lines if "message" in l]
    assert [m.split("\n")[0] for m in msgs] == ["Error initialising graphicmode "], msgs
    assert run.passes == [] and run.last["exit"] == 1 and untouched(folder)
    # No sound card: a whole silent game, and the file saved as ever.
    folder = scratch()
    run = trace([". 2", ". ENTER", "T x300", "T ESC", "."] + QUIT, "--no-sound", folder=folder)
    assert not run.sounds() and run.last["exit"] == 0
    assert max(p["run_ticks"] for p in run.passes) == 301  # 300 ticks and the one Esc ended
    assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == NEW


def test_faults_sigterm_during_play_keeps_the_file():
    # The replay tool waits on its pipe in the middle of a game when the
    # signal comes; the real program is killed in a real window below.
    folder = guarded(scratch())
    proc = subprocess.Popen([TRACE, "-"], cwd=folder, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    proc.stdin.write("\n".join([". 2", ". ENTER", "T x100"]) + "\n")
    proc.stdin.flush()
    for line in proc.stdout:
        if json.loads(line).get("run_ticks") == 100:
            break
    proc.send_signal(signal.SIGTERM)
    assert proc.wait(timeout=30) == -signal.SIGTERM
    assert untouched(folder)

    folder = guarded(scratch())
    with xserver() as env:
        win = Window(env, folder, "sigterm")
        try:
            time.sleep(0.5)
            win.press("2")
            win.press("Return", settle=1.0)
            win.keep("playing")
            win.proc.send_signal(signal.SIGTERM)
            code, err = win.finish()
        finally:
            win.kill()
    assert code != 0 and "signal" in err, (code, err[-500:])
    assert untouched(folder)
