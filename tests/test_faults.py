# SPDX-License-Identifier: MIT
"""Every bad input the program can meet, one table row each: what the run
must do and the high-score file's bytes after it. Nothing the player had is
lost: a refused start leaves the file alone, and so does a failed save."""
import fcntl
import json
import os
import resource
import shutil
import signal
import stat
import struct
import subprocess
import time

from xwindow import xserver
from zarn_test import BUILD, PACK, QUIT, TRACE, dat, pack_names, scratch, trace

KNOWN = b"\x07\x00\x00\x00"  # a stored best score of 7
NEW = b"\x64\x00\x00\x00"  # 100, what a run without a usable file saves
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
HS = "hiscore.zrn"


def state(path):
    """What a run may not change unless it saves: type, then the file's inode,
    bits and group, time and bytes (None for a link to nothing)."""
    if not os.path.lexists(path):
        return None
    kind = stat.S_IFMT(os.lstat(path).st_mode)
    if not os.path.exists(path):
        return kind, None, None, None, None
    st = os.stat(path)
    data = open(path, "rb").read() if stat.S_ISREG(st.st_mode) else None
    return kind, st.st_ino, (stat.S_IMODE(st.st_mode), st.st_gid), st.st_mtime_ns, data


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


def cut(n):
    """The built pack cut after n bytes (the fuzz target scrambles them)."""
    return lambda f: open(os.path.join(f, "zarn.dat"), "wb").write(open(PACK, "rb").read()[:n])


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
         ("data in an unused slot", replaced(23), "plays", ""),
         # Not even opened for reading: a pipe would wait for a writer forever.
         ("a FIFO", lambda f: os.mkfifo(os.path.join(f, "zarn.dat")), "refused", "\nnot a regular file\n"),
         ("a directory", lambda f: os.mkdir(os.path.join(f, "zarn.dat")), "refused", "\nIs a directory\n"),
         # Cut at the header, inside the object list, inside objects and just short of the end.
         *((f"cut at {n}", cut(n), "refused", "") for n in (0, 3, 4, 8, 12, 100, 5000, 300000, 800000, -1))]

PLAY = [". 2", ".", ". ENTER", "T x60", "T DOWN x20", "T ESC", ". x2", ". UP,ENTER", "T x5"]


def test_faults_bad_packs():
    for what, make, outcome, why in PACKS:
        folder = scratch(pack=False, hiscore=KNOWN)
        before = state(os.path.join(folder, HS))
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
        else:
            assert outcome != "refused", f"{what}: accepted"
            assert any(p["loop"] == "game" for p in run.passes), f"{what}: neither refused nor played"
        assert state(os.path.join(folder, HS)) == before, what  # the script never quits


# ---- the high-score file -----------------------------------------------

B500, B900 = struct.pack("<i", 500), struct.pack("<i", 900)


def small_files():
    """A save's write cut short: files may not grow past two bytes."""
    resource.setrlimit(resource.RLIMIT_FSIZE, (2, 2))
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)


put = lambda data, name=HS: lambda f: open(os.path.join(f, name), "wb").write(data)
chmod = lambda name, mode: lambda f: os.chmod(os.path.join(f, name), mode)


def tmpfs(f):
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs", f], check=True)
    os.symlink(os.path.abspath(PACK), os.path.join(f, "zarn.dat"))


def linked(f, data=B500):
    os.mkdir(os.path.join(f, "shared"))
    if data:
        put(data, "shared/" + HS)(f)
    os.symlink("shared/" + HS, os.path.join(f, HS))


# A save killed before its rename leaves HS.PID.tmp: one of a process that
# is gone (Linux's numbers stay below 2**22) and one of a running process.
ENDED, RUNNING = f"{HS}.{2 ** 30}.tmp", f"{HS}.{os.getpid()}.tmp"


lower = put(KNOWN)  # another game left 7 meanwhile: this run's 500 would raise it
fill = lambda f: subprocess.run(["dd", "if=/dev/zero", f"of={f}/filler", "bs=4k"], capture_output=True)
read_only = lambda f: subprocess.run(["mount", "-o", "remount,ro", f], check=True)
fifo = lambda f: os.mkfifo(os.path.join(f, HS))
device = lambda f: os.mknod(os.path.join(f, HS), stat.S_IFCHR | 0o666, os.makedev(1, 3))
make_dir = lambda f: os.mkdir(os.path.join(f, HS))


# (what, bytes at start (None: no file), the value loaded, the bytes after
# quitting (None: untouched), how: hooks run "first" and "during" the menu,
# "user" for an ordinary user, a file size "limit", the reason in a message
# "box" or on stderr ("err"), the files beside it "gone" after). The value
# is a little-endian int through a text stream: a 0A is stored after an added
# 0D; fewer than four bytes read as 100.
HISCORES = [
    ("missing", None, 100, NEW, {}),
    ("three bytes", b"\x39\x05\x00", 100, NEW, {}),
    ("four bytes once 0D 0A is read as one", b"\x0d\x0a\x00\x00", 100, NEW, {}),
    ("a lone 0D before a pair", b"\x0d\x0d\x0a\x01\x02", 0x02010A0D, None, {}),
    ("a bare 0A", b"\x0a\x00\x00\x00", 10, b"\x0d\x0a\x00\x00\x00", {}),
    ("long", b"\x10\x27\x00\x00\x55\x66\x77", 10000, b"\x10\x27\x00\x00", {}),
    ("negative, loaded unchanged", struct.pack("<i", -5), -5, None, {}),
    ("a better score saved meanwhile", B500, 500, None, {"during": [put(B900)]}),
    ("a lower score saved meanwhile", B500, 500, B500, {"during": [lower]}),
    ("a link to the file elsewhere", None, 500, B500, {"first": [linked], "during": [lower]}),
    ("a link to a file not made yet", None, 100, NEW, {"first": [lambda f: linked(f, None)]}),
    ("a file shared with a group", B500, 500, B500,
     {"first": [lambda f: os.chown(os.path.join(f, HS), -1, 100), chmod(HS, 0o664)], "during": [lower]}),
    ("leftovers of killed saves", B500, 500, None, {"first": [put(KNOWN, ENDED), put(KNOWN, RUNNING)],
                                                    "gone": [ENDED]}),
    ("a disk that fills", None, 500, None, {"first": [tmpfs, put(B500)], "during": [lower, fill],
                                            "box": "No space left on device"}),
    ("a write cut short", B500, 500, None, {"during": [lower], "limit": small_files, "box": "File too large"}),
    ("a read-only filesystem", None, 500, None, {"first": [tmpfs, put(B500)], "during": [lower, read_only],
                                                 "box": "Read-only file system"}),
    ("a read-only file", B500, 500, None, {"user": 1, "during": [lower, chmod(HS, 0o444), chmod(".", 0o777)],
                                           "box": "Permission denied"}),
    ("a read-only folder", None, 100, None, {"user": 1, "during": [chmod(".", 0o555)]}),
    ("a writable file in a read-only folder", B500, 500, B500,
     {"user": 1, "during": [lower, chmod(HS, 0o666), chmod(".", 0o555)]}),
    ("unreadable", B500, 100, None, {"user": 1, "first": [chmod(HS, 0)], "err": "Permission denied"}),
    ("unreadable at start only", B500, 100, None,
     {"user": 1, "first": [chmod(HS, 0)], "during": [chmod(HS, 0o666)], "err": "Permission denied"}),
    ("a FIFO", None, 100, None, {"first": [fifo], "err": "not a regular file"}),
    ("a device", None, 100, None, {"first": [device], "err": "not a regular file"}),
    ("a directory", None, 100, None, {"first": [make_dir], "err": "Is a directory"}),
]


def at_menu(folder, user=False, limit=None, wait=True, tool=TRACE):
    """zarn-trace at the title menu, waiting there if asked (as an ordinary
    user: from a copy it can reach)."""
    cmd = [tool, "-"]
    if user:
        shutil.copy(tool, os.path.join(folder, "zarn-trace"))
        os.chmod(folder, 0o755)
        cmd = NOBODY + ["./zarn-trace", "-"]
    # A umask that takes the group's write bit: a new file must get it all the same.
    proc = subprocess.Popen(cmd, cwd=folder, preexec_fn=lambda: (os.umask(0o022), limit and limit()),
                            text=True, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    proc.stdin.write(". 2\n")
    proc.stdin.flush()
    return proc, [proc.stdout.readline(), proc.stdout.readline()] if wait else []


def quit_game(proc, head, script=QUIT):
    try:  # nothing may hang
        out, err = proc.communicate("\n".join(script) + "\n", timeout=20)
    finally:
        proc.kill()
    return [json.loads(l) for l in head + out.splitlines()], err


def test_faults_high_score_file(tool):
    for what, start, loaded, after, how in HISCORES:
        folder = scratch(hiscore=start)
        path = os.path.join(folder, HS)
        try:
            for hook in how.get("first", []):
                hook(folder)
            proc, head = at_menu(folder, how.get("user"), how.get("limit"), "during" in how, tool)
            for hook in how.get("during", []):
                hook(folder)
            before, names = state(path), sorted(os.listdir(folder))
            lines, err = quit_game(proc, head)
            # A best score lost is no success.
            assert lines[-1]["exit"] == (1 if "box" in how else 0), (what, err[-2000:])
            assert all(l["hiscore"] == loaded for l in lines[2:] if "pass" in l), (what, lines[2])
            box = [f"The best score 500 could not be saved\nin {path}:\n{how['box']}\n"] if "box" in how else []
            assert [l["message"] for l in lines if "message" in l] == box, (what, lines[-2])
            # The box's text goes to the terminal too, whole.
            said = "".join(f"zarn: {b}" for b in box)
            assert (f"{HS}: {how['err']}" in err) if "err" in how else err.count("zarn:") == len(box) and said in err, \
                (what, err)
            now = state(path)
            if after is None:
                assert now == before, (what, before, now)
            else:  # the new bytes, in a file of the kind, bits and group it had (664 when new)
                kind, bits = (before[0], before[2]) if before else (stat.S_IFREG, None)
                assert (now[0], now[2], now[4]) == (kind, bits or (0o664, os.getgid()), after), (what, now)
            assert (set(os.listdir(folder)) ^ set(names)) - {HS} == set(how.get("gone", [])), what
        finally:
            subprocess.run(["umount", folder], capture_output=True)


def test_faults_two_games_quitting_together_keep_the_better_score():
    # One game loads 500, the other 900; then a 7 is found at quit. Each
    # save reads the file again: whichever comes second must see the first.
    for _ in range(3):
        folder = scratch(hiscore=B500)
        first = at_menu(folder)
        put(B900)(folder)
        games = [first, at_menu(folder)]
        lower(folder)
        for proc, head in games:
            proc.stdin.write("\n".join(QUIT) + "\n")
            proc.stdin.flush()
        assert all(quit_game(*game, script=[])[0][-1]["exit"] == 0 for game in games)
        assert open(os.path.join(folder, HS), "rb").read() == B900


def test_faults_a_save_waits_its_turn_while_saves_go_on_but_not_for_ever():
    # The folder's lock held shared (a game taking it shared would not wait)
    # while another game seems to save 7 every second, then stops: the 500
    # is saved five seconds after that, the lock still held.
    folder = scratch(hiscore=B500)
    proc, head = at_menu(folder)
    held = os.open(folder, os.O_RDONLY)
    fcntl.flock(held, fcntl.LOCK_SH)
    proc.stdin.write("\n".join(QUIT) + "\n")
    proc.stdin.flush()
    begin = time.monotonic()
    for _ in range(6):
        time.sleep(1)
        put(KNOWN, "new")(folder)
        os.replace(os.path.join(folder, "new"), os.path.join(folder, HS))
    lines, err = quit_game(proc, head, script=[])
    waited = time.monotonic() - begin
    os.close(held)
    assert lines[-1]["exit"] == 0 and 10.5 < waited < 20, (waited, err[-2000:])
    assert open(os.path.join(folder, HS), "rb").read() == B500


# ---- no display --------------------------------------------------------

def test_faults_no_display_no_mode():
    # No X server: the real program says so on the terminal and ends with 1.
    folder = scratch(hiscore=KNOWN)
    path, before = os.path.join(folder, HS), state(os.path.join(folder, HS))
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    proc = subprocess.run([os.path.join(BUILD, "zarn")], cwd=folder, env=env,
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode == 1 and "display" in proc.stderr.lower(), (proc.returncode, proc.stderr)
    # A server on which no mode can be set: the message, exit 1, no loop.
    run = trace([". 2", ". x3"], "--display", "none", folder=folder)
    msgs = [l["message"] for l in run.lines if "message" in l]
    assert [m.split("\n")[0] for m in msgs] == ["Error initialising graphicmode "], msgs
    assert run.passes == [] and run.last["exit"] == 1 and state(path) == before


# ---- too little memory -------------------------------------------------

def test_faults_too_little_memory_says_so_and_ends():
    # From too little room for the library's thread to enough to play: each
    # run says it cannot start and ends with 1, or waits at the prompt for a
    # signal; none hangs or touches the file. (No xmessage: a box is stdout.)
    folder = scratch(hiscore=KNOWN)
    path, before = os.path.join(folder, HS), state(os.path.join(folder, HS))
    limit = lambda kb: lambda: resource.setrlimit(resource.RLIMIT_AS, (kb << 10, kb << 10))
    with xserver() as env:
        runs = {kb: subprocess.Popen([os.path.join(BUILD, "zarn")], cwd=folder, env=dict(env, PATH=""),
                                     preexec_fn=limit(kb), text=True, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE) for kb in range(16000, 56000, 2000)}
        time.sleep(6)
        for proc in runs.values():
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
        ends = {}
        for kb, proc in runs.items():
            try:
                out, err = proc.communicate(timeout=10)
            finally:
                proc.kill()
            said = "cannot start" in err or out.startswith("Error initialising graphicmode")
            assert proc.returncode == 143 or (proc.returncode == 1 and said), (kb, proc.returncode, out, err[-500:])
            ends[kb] = proc.returncode
    assert 1 in ends.values() and 143 in ends.values(), ends
    assert state(path) == before
