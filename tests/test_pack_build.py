"""The resource pack: rebuilt from data/ it must come out byte for byte the
same as the build's zarn.dat, and a broken source must stop the build.

ZARN_BUILD is the build directory (the one holding zarn.dat).
"""
import os
import shutil
import subprocess
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")


def _build():
    build = os.environ.get("ZARN_BUILD")
    if not build:
        raise AssertionError("ZARN_BUILD is not set")
    return build


def _cached(name, fallback):
    """A program path from the build's CMake cache, else from PATH."""
    cache = os.path.join(_build(), "CMakeCache.txt")
    if os.path.exists(cache):
        with open(cache) as f:
            for line in f:
                if line.startswith(name + ":"):
                    value = line.split("=", 1)[1].strip()
                    if value and os.path.exists(value):
                        return value
    found = shutil.which(fallback)
    if not found:
        raise AssertionError(f"cannot find {fallback}")
    return found


def _tool():
    tool = os.path.join(_build(), "data", "zarn_packtool")
    if not os.path.exists(tool):
        raise AssertionError(f"{tool} is not built")
    return tool


def _pack(source, workdir):
    """Runs both steps of the build's pack rule; returns (path, errors)."""
    stage = os.path.join(workdir, "pack")
    out = os.path.join(workdir, "zarn.dat")
    step = subprocess.run([_tool(), source, stage], capture_output=True, text=True,
                          timeout=60)
    if step.returncode != 0:
        return None, step.stderr
    step = subprocess.run(
        ["cmake", "-DDAT=" + _cached("ZARN_DAT", "dat"),
         "-DSETARCH=" + _cached("ZARN_SETARCH", "setarch"),
         "-DSTAGE=" + stage, "-DOUTPUT=" + out,
         "-P", os.path.join(DATA, "make_pack.cmake")],
        capture_output=True, text=True, timeout=60)
    if step.returncode != 0:
        return None, step.stdout + step.stderr
    return out, ""


def test_pack_rebuilds_byte_identical():
    built = os.path.join(_build(), "zarn.dat")
    if not os.path.exists(built):
        raise AssertionError(f"{built} is not built")
    # A folder of another name and depth than the build's: a path that
    # leaked into the pack would show up as a difference.
    with tempfile.TemporaryDirectory(prefix="zarn-pack-rebuild-") as tmp:
        work = os.path.join(tmp, "some", "other", "place")
        os.makedirs(work)
        out, errors = _pack(DATA, work)
        if out is None:
            raise AssertionError("rebuilding the pack failed:\n" + errors)
        with open(built, "rb") as a, open(out, "rb") as b:
            first, second = a.read(), b.read()
        if first != second:
            at = next((i for i, (x, y) in enumerate(zip(first, second)) if x != y),
                      min(len(first), len(second)))
            raise AssertionError(
                f"rebuilt pack differs from {built} at byte {at} "
                f"({len(first)} and {len(second)} bytes)")


def _copy_of_data(tmp):
    copy = os.path.join(tmp, "data")
    shutil.copytree(DATA, copy)
    return copy


def test_broken_art_row_stops_the_build():
    with tempfile.TemporaryDirectory(prefix="zarn-pack-broken-") as tmp:
        data = _copy_of_data(tmp)
        art = os.path.join(data, "art", "barrels.txt")
        with open(art) as f:
            lines = f.read().split("\n")
        # Shorten the first row of the first picture by one pixel.
        header = next(i for i, l in enumerate(lines) if l.startswith("image "))
        lines[header + 1] = lines[header + 1][:-1]
        with open(art, "w") as f:
            f.write("\n".join(lines))
        out, errors = _pack(data, tmp)
        if out is not None:
            raise AssertionError("a picture row of the wrong width was packed")
        if "barrels.txt" not in errors:
            raise AssertionError("the error does not name the file:\n" + errors)


def test_missing_object_stops_the_build():
    with tempfile.TemporaryDirectory(prefix="zarn-pack-missing-") as tmp:
        data = _copy_of_data(tmp)
        art = os.path.join(data, "art", "barrels.txt")
        with open(art) as f:
            text = f.read()
        with open(art, "w") as f:
            f.write(text.replace("image 39_stack_barrel", "image stack_barrel_unused"))
        out, errors = _pack(data, tmp)
        if out is not None:
            raise AssertionError("a pack without object 39 was built")
        if "39" not in errors:
            raise AssertionError("the error does not say which object:\n" + errors)


def test_dat_failure_stops_the_build():
    # A file dat cannot read as a picture must fail the pack step, not be
    # left out quietly (dat exits 1 on a failed import).
    with tempfile.TemporaryDirectory(prefix="zarn-pack-dat-") as tmp:
        stage = os.path.join(tmp, "pack")
        step = subprocess.run([_tool(), DATA, stage], capture_output=True, text=True,
                              timeout=60)
        if step.returncode != 0:
            raise AssertionError(step.stderr)
        with open(os.path.join(stage, "38_barrel_held.bmp"), "wb") as f:
            f.write(b"not a picture at all")
        out = os.path.join(tmp, "zarn.dat")
        step = subprocess.run(
            ["cmake", "-DDAT=" + _cached("ZARN_DAT", "dat"),
             "-DSETARCH=" + _cached("ZARN_SETARCH", "setarch"),
             "-DSTAGE=" + stage, "-DOUTPUT=" + out,
             "-P", os.path.join(DATA, "make_pack.cmake")],
            capture_output=True, text=True, timeout=60)
        if step.returncode == 0 or os.path.exists(out):
            raise AssertionError("a pack was made from an unreadable picture")
