# SPDX-License-Identifier: MIT
"""The installed game: `cmake --install` into a scratch prefix, its `zarn`
launcher over a stand-in game, Debian's validators and the Debian package."""
import atexit
import functools
import os
import re
import shutil
import stat
import subprocess
import tempfile

from zarn_test import BUILD, PACK, QUIT, TRACE, read_bmp, to_game, trace

BUILDS = ("release",)

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
APP = "org.example.zarn"
SIZES = (16, 32, 48, 64, 128, 192, 256, 512)
# Every file an installation holds, under its prefix.
INSTALLED = ["bin/zarn", "libexec/zarn/zarn", "share/zarn/zarn.dat", "share/man/man6/zarn.6.gz",
             "share/doc/zarn/copyright",
             f"share/applications/{APP}.desktop", f"share/metainfo/{APP}.metainfo.xml",
             *(f"share/icons/hicolor/{s}x{s}/apps/{APP}.png" for s in SIZES)]
# The launcher's environment: nothing of the caller's, so neither its HOME
# nor its XDG variables can leak in.
BASE_ENV = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "LANG": "C.UTF-8"}


@functools.lru_cache(None)
def prefix():
    """The game installed into a scratch prefix that every user can read."""
    where = tempfile.mkdtemp(prefix="zarn-prefix-")
    os.chmod(where, 0o755)
    atexit.register(shutil.rmtree, where, True)
    out = subprocess.run(["cmake", "--install", BUILD, "--prefix", where], capture_output=True, text=True,
                         timeout=120)
    assert out.returncode == 0, out.stdout[-1500:] + out.stderr
    return where


def start(cmd, home, cwd, user=None, **env):
    if user:
        cmd = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups", *cmd]
    return subprocess.Popen(cmd, cwd=cwd, env=dict(BASE_ENV, HOME=home, **env), stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)


def tree(folder):
    return sorted(os.path.relpath(os.path.join(d, n), folder)
                  for d, dirs, files in os.walk(folder) for n in dirs + files)


def opaque_box(rows, keep):
    ys = [y for y, r in enumerate(rows) if any(keep(p) for p in r)]
    xs = [x for x in range(len(rows[0])) if any(keep(r[x]) for r in rows)]
    return [row[xs[0]:xs[-1] + 1] for row in rows[ys[0]:ys[-1] + 1]]


def test_install_tree_launcher_paths_and_validators():
    root = prefix()
    for path in INSTALLED:
        assert os.path.isfile(os.path.join(root, path)), path
    for exe in ("bin/zarn", "libexec/zarn/zarn"):
        assert os.stat(os.path.join(root, exe)).st_mode & stat.S_IXOTH, exe
    # The game and pack the sessions play through the build tree's launcher.
    for path, built in (("libexec/zarn/zarn", os.path.join(BUILD, "zarn")), ("share/zarn/zarn.dat", PACK)):
        assert open(os.path.join(root, path), "rb").read() == open(built, "rb").read(), path
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
        path = os.path.join(prefix(), f"share/icons/hicolor/{size}x{size}/apps/{APP}.png")
        raw = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], capture_output=True, check=True).stdout
        assert len(raw) == size * size * 4, (path, len(raw))
        icon = [[tuple(raw[(y * size + x) * 4:][:4]) for x in range(size)] for y in range(size)]
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


def test_launcher_links_the_pack_keeps_a_player_file_and_refuses_unwritable_directories():
    # The installed launcher, copied, over a stand-in game that says where it
    # runs when it finds the pack there, and ends with 3: passed through.
    where = tempfile.mkdtemp(prefix="zarn-stand-in-")
    os.chmod(where, 0o755)
    game = os.path.join(where, "game")
    open(game, "w").write("#!/bin/sh\n[ -r zarn.dat ] && pwd && exit 3\n")
    os.chmod(game, 0o755)
    cmd, installed = [os.path.join(where, "zarn")], open(os.path.join(prefix(), "bin", "zarn")).read()
    open(cmd[0], "w").write(re.sub("game='[^']*'", f"game='{game}'", installed))
    os.chmod(cmd[0], 0o755)
    home, elsewhere = tempfile.mkdtemp(prefix="zarn-home-"), tempfile.mkdtemp(prefix="zarn-cwd-")
    data = os.path.join(home, ".local", "share", "zarn")
    os.makedirs(data)
    link = os.path.join(data, "zarn.dat")
    # A link to a pack that is gone, then a file the player left under its
    # name, twice, each met by sixteen racing launchers (their `ln` fails a
    # hard link of a link, as when a third one replaces it); an empty or
    # relative XDG_DATA_HOME is ignored.
    shim = os.path.join(where, "ln")
    open(shim, "w").write('#!/bin/sh\n[ "$1" = -P ] && [ -L "$2" ] && exit 1\nexec /bin/ln "$@"\n')
    os.chmod(shim, 0o755)
    os.symlink("/nonexistent/zarn.dat", link)
    player_file = False
    for xdg in ("relative/dir", "", ""):
        said = [(run.wait(timeout=60), *run.communicate()) for run in [
            start(cmd, home, elsewhere, XDG_DATA_HOME=xdg, PATH=where + ":" + BASE_ENV["PATH"]) for _ in range(16)]]
        assert all(r[:2] == (3, data + "\n") for r in said), said
        assert os.readlink(link) == os.path.join(prefix(), "share/zarn/zarn.dat")
        assert not player_file or any("moved your " + link in r[2] for r in said), said
        os.remove(link)
        open(link, "wb").write(b"an old copy")
        player_file = True
    kept = [n for n in os.listdir(data) if n != "zarn.dat"]
    assert kept and all(open(os.path.join(data, n), "rb").read() == b"an old copy" for n in kept)
    assert tree(elsewhere) == [] and all(n.startswith("zarn.dat.") for n in kept)
    run = start(cmd + ["--help"], home, elsewhere)
    assert run.wait(timeout=60) == 2 and "takes no options" in run.communicate()[1]

    # An ordinary user's HOME they cannot write in, so the directory cannot
    # be made, and a data directory that belongs to someone else.
    home, xdg = tempfile.mkdtemp(prefix="zarn-home-"), tempfile.mkdtemp(prefix="zarn-xdg-")
    for folder in (home, xdg):
        os.chmod(folder, 0o755)
    os.mkdir(os.path.join(xdg, "zarn"), 0o755)
    # From the desktop's menu (a display, no terminal) the line shows in a
    # box too: stand-ins for zenity and xmessage keep it.
    boxes = tempfile.mkdtemp(prefix="zarn-boxes-")
    os.chmod(boxes, 0o777)
    for name in ("zenity", "xmessage"):
        open(os.path.join(where, name), "w").write(f'#!/bin/sh\nprintf "%s\\n" "$@" >{boxes}/box.$$\n')
        os.chmod(os.path.join(where, name), 0o755)
    for desktop in ({}, {"DISPLAY": ":0", "PATH": where + ":" + BASE_ENV["PATH"]}):
        for env, message in (({}, f"cannot make the data directory {home}/.local/share/zarn"),
                             ({"XDG_DATA_HOME": xdg}, f"cannot write to the data directory {xdg}/zarn")):
            run = start(cmd, home, "/", user=65534, **env, **desktop)
            # Only the launcher's line: the game, started, would say where it runs.
            assert (run.wait(timeout=60), *run.communicate()) == (1, "", f"zarn: {message}\n")
            shown = [open(os.path.join(boxes, n)).read().splitlines()[-1] for n in os.listdir(boxes)]
            assert shown == ([f"--text=ZARN cannot start: {message}"] if desktop else []), shown
            for n in os.listdir(boxes):
                os.remove(os.path.join(boxes, n))
    assert tree(home) == [] and tree(xdg) == ["zarn"]


def test_debian_package_holds_the_game_and_needs_allegro():
    out = tempfile.mkdtemp(prefix="zarn-deb-")
    proc = subprocess.run([os.path.join(TOP, "tools", "package.sh"), out], capture_output=True,
                          text=True, timeout=300)
    assert proc.returncode == 0, proc.stderr[-2000:]
    debs = [f for f in os.listdir(out) if f.startswith("zarn_") and f.endswith(".deb")]
    assert len(debs) == 1, os.listdir(out)
    deb = os.path.join(out, debs[0])
    assert proc.stdout.split() == [deb], proc.stdout
    files = {l.split()[-1].lstrip(".") for l in subprocess.run(
        ["dpkg-deb", "-c", deb], capture_output=True, text=True, check=True).stdout.splitlines()}
    # Debian keeps the command among the games.
    for path in INSTALLED:
        assert "/usr/" + path.replace("bin/", "games/") in files, path
    assert not [f for f in files if "trace" in f or "packtool" in f or "test" in f], files
    info = subprocess.run(["dpkg-deb", "-I", deb], capture_output=True, text=True, check=True).stdout
    fields = dict(l.strip().split(": ", 1) for l in info.splitlines() if l.startswith(" ") and ": " in l)
    assert fields["Package"] == "zarn" and fields["Section"] == "games"
    assert "liballegro4.4 (>=" in fields["Depends"], fields
    # The packaged launcher points at where the package puts the game, not at
    # the folder the package was staged in.
    launcher = subprocess.run(f"dpkg-deb --fsys-tarfile {deb} | tar -xO ./usr/games/zarn", shell=True,
                              capture_output=True, text=True, check=True).stdout
    assert "game='/usr/libexec/zarn/zarn'" in launcher and "pack='/usr/share/zarn/zarn.dat'" in launcher
    # Debian's own checks find nothing to warn of.
    lint = subprocess.run(["lintian", "--fail-on", "error,warning", deb], capture_output=True, text=True)
    assert lint.returncode == 0, lint.stdout + lint.stderr
    shutil.rmtree(out)


def test_packagers_build_plays_as_ours():
    # Built as a packager builds it (Release, Debian's flags), the same game:
    # a difference is undefined behaviour an optimiser took its own way.
    script = to_game(9) + ["T x3000", "T ESC", "T x5"] + QUIT
    release = os.path.join(TOP, "build-release", "zarn-trace")
    ours, theirs = (trace(script, "--seed", "7", tool=tool).lines for tool in (TRACE, release))
    assert len(ours) > 3000 and ours[-1]["exit"] == 0 and theirs == ours
