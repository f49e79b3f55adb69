"""The installed game: `cmake --install` into a scratch prefix, the `zarn`
launcher started from elsewhere with a scratch HOME (under Xvfb where the
game must really run), the desktop files checked with Debian's validators,
and the Debian package's contents."""
import atexit
import functools
import os
import shutil
import stat
import subprocess
import tempfile

from xwindow import Window, traced, xserver
from zarn_test import BUILD, PACK, read_bmp

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
APP = "org.example.zarn"
SIZES = (16, 32, 48, 64, 128, 256)
# The launcher's environment: nothing of the caller's, so neither its HOME
# nor its XDG variables can leak in.
BASE_ENV = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "LANG": "C.UTF-8"}


@functools.lru_cache(None)
def prefix():
    """The game installed into a scratch prefix that every user can read."""
    where = tempfile.mkdtemp(prefix="zarn-prefix-")
    os.chmod(where, 0o755)
    atexit.register(shutil.rmtree, where, True)
    subprocess.run(["cmake", "--install", BUILD, "--prefix", where], check=True,
                   capture_output=True, timeout=120)
    return where


def launch(home, cwd, env=None, user=None, display=None):
    env = dict(BASE_ENV, HOME=home, **(env or {}))
    if display:
        env["DISPLAY"] = display
    cmd = [os.path.join(prefix(), "bin", "zarn")]
    if user:
        cmd = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups", *cmd]
    return env, cmd, dict(cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True)


def run_launcher(home, cwd, env=None, user=None):
    """A launcher run with no display: the game, if started, ends at once."""
    _, cmd, kw = launch(home, cwd, env, user)
    return subprocess.run(cmd, timeout=60, **kw)


def tree(folder):
    return sorted(os.path.relpath(os.path.join(d, n), folder)
                  for d, dirs, files in os.walk(folder) for n in dirs + files)


def rgba(path):
    """A PNG as (width, height, rows of (r, g, b, a))."""
    w, h = (int(v) for v in subprocess.run(["convert", path, "-format", "%w %h", "info:"],
                                           capture_output=True, text=True, check=True).stdout.split())
    raw = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], capture_output=True,
                         check=True).stdout
    return w, h, [[tuple(raw[(y * w + x) * 4:(y * w + x) * 4 + 4]) for x in range(w)]
                  for y in range(h)]


def opaque_box(rows, keep):
    ys = [y for y, r in enumerate(rows) if any(keep(p) for p in r)]
    xs = [x for x in range(len(rows[0])) if any(keep(r[x]) for r in rows)]
    return [row[xs[0]:xs[-1] + 1] for row in rows[ys[0]:ys[-1] + 1]]


def test_install_tree_launcher_paths_and_validators():
    root = prefix()
    for path in ["bin/zarn", "libexec/zarn/zarn", "share/zarn/zarn.dat", "share/man/man6/zarn.6.gz", "share/doc/zarn/copyright",
                 f"share/applications/{APP}.desktop", f"share/metainfo/{APP}.metainfo.xml",
                 *(f"share/icons/hicolor/{s}x{s}/apps/{APP}.png" for s in SIZES)]:
        assert os.path.isfile(os.path.join(root, path)), path
    for exe in ("bin/zarn", "libexec/zarn/zarn"):
        assert os.stat(os.path.join(root, exe)).st_mode & stat.S_IXOTH, exe
    assert open(os.path.join(root, "share/zarn/zarn.dat"), "rb").read() == open(PACK, "rb").read()
    # The launcher names the installed game and pack, not the build tree's.
    text = open(os.path.join(root, "bin/zarn")).read()
    assert f"game='{root}/libexec/zarn/zarn'" in text and f"pack='{root}/share/zarn/zarn.dat'" in text
    assert "@ZARN_" not in text

    for cmd in (["desktop-file-validate", f"share/applications/{APP}.desktop"],
                ["appstreamcli", "validate", "--no-net", "--pedantic", f"share/metainfo/{APP}.metainfo.xml"]):
        proc = subprocess.run(cmd, cwd=root, capture_output=True, text=True, timeout=60)
        assert proc.returncode == 0 and "W:" not in proc.stdout + proc.stderr, proc.stdout + proc.stderr
    desktop = open(os.path.join(root, f"share/applications/{APP}.desktop")).read().splitlines()
    assert "Exec=zarn" in desktop and f"Icon={APP}" in desktop
    assert "Categories=Game;ArcadeGame;" in desktop
    # groff's warnings catch a broken macro or escape in the man page.
    page = subprocess.run("zcat share/man/man6/zarn.6.gz | groff -man -Tutf8 -P-cbou -ww", shell=True, cwd=root,
                          capture_output=True, text=True, timeout=60)
    assert page.returncode == 0 and page.stderr == "", page.stderr
    assert "XDG_DATA_HOME" in page.stdout and "hiscore.zrn" in page.stdout


def test_icons_are_the_ape_from_the_pack():
    rows, pal = read_bmp(os.path.join(BUILD, "data", "pack", "02_ape_stand.bmp"), palette=True)
    ape = opaque_box(rows, lambda i: i != 0)
    want = [[pal[i] + (255,) if i else None for i in row] for row in ape]
    for size in SIZES:
        w, h, icon = rgba(os.path.join(prefix(), f"share/icons/hicolor/{size}x{size}/apps/{APP}.png"))
        assert (w, h) == (size, size)
        # Colour 0 around the ape must come out transparent, not black.
        assert icon[0][0][3] == 0 and icon[size - 1][size - 1][3] == 0, size
        if size < len(ape[0]):
            continue
        # Sizes the picture fits into hold it enlarged by a whole or half
        # step with hard edges: each icon pixel is the picture's pixel under it.
        got = opaque_box(icon, lambda p: p[3] != 0)
        step = len(got[0]) / len(ape[0])
        assert step >= 1 and step * 2 == int(step * 2) and len(got) == len(ape) * step, (size, step)
        for y, row in enumerate(got):
            for x, p in enumerate(row):
                c = want[int((y + 0.5) / step)][int((x + 0.5) / step)]
                assert p == c or (c is None and p[3] == 0), (size, x, y, p, c)


def play(env, home, cwd, keys, xdg=None, run="installed"):
    """Starts the installed launcher in the window's server, presses keys (a
    callable among them is called with the window) and returns the exit
    value and stderr."""
    env, cmd, _ = launch(home, cwd, {"XDG_DATA_HOME": xdg} if xdg else None,
                         display=env["DISPLAY"])
    win = Window(env, cwd, run, command=cmd)
    try:
        win.wait_for(lambda img: any(img[96 * 960:104 * 960]), what="the mode prompt")
        for name in keys:
            if callable(name):
                name(win)
            else:
                win.press(name)
        return win.finish()
    finally:
        win.kill()


def test_installed_launcher_plays_from_anywhere_and_keeps_the_best_score():
    quit_keys = ["Down", "Down", "Down", "Return"]  # from the menu's first item to QUIT
    installed_pack = os.path.join(prefix(), "share", "zarn", "zarn.dat")
    with xserver() as env:
        # First start: no XDG variables, so the data directory is made under HOME.
        home, elsewhere = tempfile.mkdtemp(prefix="zarn-home-"), tempfile.mkdtemp(prefix="zarn-cwd-")
        code, err = play(env, home, elsewhere, ["2", *quit_keys])
        assert code == 0, err
        data = os.path.join(home, ".local", "share", "zarn")
        assert os.readlink(os.path.join(data, "zarn.dat")) == installed_pack
        assert open(os.path.join(data, "hiscore.zrn"), "rb").read() == b"\x64\x00\x00\x00"
        # Nothing lands outside the data directory.
        in_home = [".local", ".local/share", ".local/share/zarn", ".local/share/zarn/hiscore.zrn",
                   ".local/share/zarn/zarn.dat"]
        assert tree(home) == in_home and tree(elsewhere) == []

        # Second start, through XDG_DATA_HOME: a best score of 1234 left by an
        # earlier game and a link left by an installation that is gone.
        xdg = tempfile.mkdtemp(prefix="zarn-xdg-")
        data = os.path.join(xdg, "zarn")
        os.mkdir(data)
        os.symlink("/nonexistent/zarn.dat", os.path.join(data, "zarn.dat"))
        best = (1234).to_bytes(4, "little")
        open(os.path.join(data, "hiscore.zrn"), "wb").write(best)
        want = traced((". 2", ". ENTER", "T", "T @game"), best)["game"]
        shown = []
        code, err = play(env, home, elsewhere,
                         ["2", "Return", lambda win: shown.append(win.keep("kept_best")),
                          "Escape", *quit_keys], xdg=xdg, run="installed_again")
        assert code == 0, err
        # The status line, "Top:1234" among it, as the game draws it with that file.
        assert shown[0][:8 * 960] == want[:8 * 960], "the status line does not show the kept best score"
        assert open(os.path.join(data, "hiscore.zrn"), "rb").read() == best
        assert os.readlink(os.path.join(data, "zarn.dat")) == installed_pack
        assert tree(home) == in_home and tree(elsewhere) == []


def test_launcher_links_the_pack_and_passes_the_game_exit_through():
    # Without a display the game itself ends at once with 1 and its own
    # message, after the launcher has prepared the data directory.
    home, elsewhere = tempfile.mkdtemp(prefix="zarn-home-"), tempfile.mkdtemp(prefix="zarn-cwd-")
    data = os.path.join(home, ".local", "share", "zarn")
    os.makedirs(data)
    link, best = os.path.join(data, "zarn.dat"), os.path.join(data, "hiscore.zrn")
    open(best, "wb").write(b"\x01\x02\x03\x04")
    # A copy left in place of the link, then a link to a pack that is gone;
    # an empty or relative XDG_DATA_HOME is ignored, as the XDG rules say.
    for xdg, old in (("relative/dir", None), ("", "/nonexistent/zarn.dat")):
        if old:
            os.remove(link)
            os.symlink(old, link)
        else:
            open(link, "wb").write(b"an old copy")
        proc = run_launcher(home, elsewhere, env={"XDG_DATA_HOME": xdg})
        assert proc.returncode == 1 and "zarn: cannot start" in proc.stderr, proc.stderr
        assert os.readlink(link) == os.path.join(prefix(), "share/zarn/zarn.dat")
    assert open(best, "rb").read() == b"\x01\x02\x03\x04"
    assert tree(elsewhere) == [] and tree(home) == [".local", ".local/share", ".local/share/zarn",
                                                    ".local/share/zarn/hiscore.zrn",
                                                    ".local/share/zarn/zarn.dat"]

    proc = subprocess.run([os.path.join(prefix(), "bin", "zarn"), "--help"], env=dict(BASE_ENV, HOME=home),
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode == 2 and "takes no options" in proc.stderr


def test_unwritable_data_directory_is_refused_before_the_game_starts():
    nobody = 65534
    # A HOME the player cannot write in, so the directory cannot be made...
    home = tempfile.mkdtemp(prefix="zarn-home-")
    os.chmod(home, 0o755)
    # ...and a data directory that exists but belongs to someone else.
    xdg = tempfile.mkdtemp(prefix="zarn-xdg-")
    os.chmod(xdg, 0o755)
    os.mkdir(os.path.join(xdg, "zarn"), 0o755)
    for env, message in (({}, f"cannot make the data directory {home}/.local/share/zarn"),
                         ({"XDG_DATA_HOME": xdg}, f"cannot write to the data directory {xdg}/zarn")):
        proc = run_launcher(home, "/", env=env, user=nobody)
        assert proc.returncode == 1, (proc.returncode, proc.stderr)
        # Only the launcher's line: the game, started, would add its own.
        assert proc.stderr == f"zarn: {message}\n", proc.stderr
    assert tree(home) == [] and tree(xdg) == ["zarn"]


def test_debian_package_holds_the_game_and_needs_allegro():
    out = tempfile.mkdtemp(prefix="zarn-deb-")
    proc = subprocess.run([os.path.join(TOP, "tools", "package.sh"), out], capture_output=True,
                          text=True, timeout=300)
    assert proc.returncode == 0, proc.stderr[-2000:]
    debs = [f for f in os.listdir(out) if f.startswith("zarn_") and f.endswith(".deb")]
    assert len(debs) == 1, os.listdir(out)
    deb = os.path.join(out, debs[0])
    files = {l.split()[-1].lstrip(".") for l in subprocess.run(
        ["dpkg-deb", "-c", deb], capture_output=True, text=True, check=True).stdout.splitlines()}
    for path in ["/usr/bin/zarn", "/usr/libexec/zarn/zarn", "/usr/share/zarn/zarn.dat",
                 "/usr/share/man/man6/zarn.6.gz", f"/usr/share/applications/{APP}.desktop",
                 f"/usr/share/metainfo/{APP}.metainfo.xml",
                 *(f"/usr/share/icons/hicolor/{s}x{s}/apps/{APP}.png" for s in SIZES)]:
        assert path in files, path
    assert not [f for f in files if "trace" in f or "packtool" in f or "test" in f], files
    info = subprocess.run(["dpkg-deb", "-I", deb], capture_output=True, text=True, check=True).stdout
    fields = dict(l.strip().split(": ", 1) for l in info.splitlines() if l.startswith(" ") and ": " in l)
    assert fields["Package"] == "zarn" and fields["Section"] == "games"
    assert "liballegro4.4 (>=" in fields["Depends"], fields
    # The packaged launcher points at where the package puts the game, not at
    # the folder the package was staged in.
    launcher = subprocess.run(f"dpkg-deb --fsys-tarfile {deb} | tar -xO ./usr/bin/zarn", shell=True,
                              capture_output=True, text=True, check=True).stdout
    assert "game='/usr/libexec/zarn/zarn'" in launcher and "pack='/usr/share/zarn/zarn.dat'" in launcher
    shutil.rmtree(out)
