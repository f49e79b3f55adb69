"""Shared helpers for the replay tests: run zarn-trace in a scratch folder
with the built pack and read its JSON lines back."""
import json
import os
import shutil
import subprocess
import tempfile

BUILD = os.environ.get("ZARN_BUILD", os.path.join(os.path.dirname(__file__), "..", "build"))
# Replays run on the sanitizer build when there is one.
TRACE_BUILD = os.environ.get("ZARN_TRACE_BUILD", BUILD)
TRACE = os.path.join(TRACE_BUILD, "zarn-trace")
PACK = os.path.join(BUILD, "zarn.dat")


class Run:
    """One finished zarn-trace run."""

    def __init__(self, proc, folder):
        self.returncode = proc.returncode
        self.stderr = proc.stderr
        self.folder = folder
        self.lines = [json.loads(l) for l in proc.stdout.splitlines() if l.strip()]
        self.passes = [l for l in self.lines if "pass" in l]
        self.last = self.lines[-1] if self.lines else None

    def loop_passes(self, loop):
        return [p for p in self.passes if p["loop"] == loop]

    def sounds(self):
        return [l for l in self.lines if "sound" in l]

    def events(self):
        """Sound and message lines, each with the pass number they came in."""
        out, current = [], None
        for l in self.lines:
            if "pass" in l:
                current = l["pass"]
            elif "sound" in l or "message" in l:
                out.append((current, l))
        return out


def scratch(pack=True, hiscore=None):
    """A fresh folder holding the built pack and, if given, hiscore bytes."""
    folder = tempfile.mkdtemp(prefix="zarn-test-")
    if pack:
        shutil.copy(PACK, os.path.join(folder, "zarn.dat"))
    if hiscore is not None:
        with open(os.path.join(folder, "hiscore.zrn"), "wb") as f:
            f.write(hiscore)
    return folder


def trace(script, *options, folder=None, timeout=300):
    """Runs zarn-trace on a script (a string or list of lines) in a folder
    (a fresh scratch one by default); the run must not fail on its own."""
    if folder is None:
        folder = scratch()
    if isinstance(script, (list, tuple)):
        script = "\n".join(script) + "\n"
    proc = subprocess.run([TRACE, *options, "-"], input=script, capture_output=True,
                          text=True, cwd=folder, timeout=timeout)
    run = Run(proc, folder)
    assert "runtime error" not in proc.stderr and "Sanitizer" not in proc.stderr, proc.stderr
    return run


def start_game(extra=()):
    """Script lines from start-up into the first tick of a game: choose the
    window, then Enter on the title menu (a tick is pending on entry)."""
    return [". 2", ". ENTER", *extra]
