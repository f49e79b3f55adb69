"""Damaged resource packs must end in the load error or in a working game,
never in a crash: cut and scrambled copies of the real pack, played for a
few seconds on the sanitizer build."""
import os
import random

from zarn_test import PACK, scratch, trace

SCRIPT = [". 2", ".", ". ENTER", "T x60", "T DOWN x20", "T ESC", ". x2", ". UP,ENTER", "T x5"]


def damaged_copies():
    good = open(PACK, "rb").read()
    rnd = random.Random(2026)
    # Cuts at the header, inside the object list and just short of the end.
    for cut in (0, 3, 4, 8, 12, 100, len(good) // 2, len(good) - 1) + tuple(
            rnd.randrange(len(good)) for _ in range(8)):
        yield f"cut at {cut}", good[:cut]
    for _ in range(16):
        data, at = bytearray(good), rnd.randrange(len(good))
        for i in range(at, min(at + rnd.randint(1, 48), len(data))):
            data[i] = rnd.randrange(256)
        yield f"scrambled at {at}", bytes(data)


def test_damaged_packs_never_crash():
    outcomes = set()
    for what, data in damaged_copies():
        folder = scratch(pack=False)
        open(os.path.join(folder, "zarn.dat"), "wb").write(data)
        run = trace(SCRIPT, folder=folder)
        assert run.returncode == 0, f"{what}: exit {run.returncode}\n{run.stderr[-2000:]}"
        messages = [l["message"] for l in run.lines if "message" in l]
        if messages:
            # Refused before any loop, the high-score file neither read nor made.
            assert messages[0].startswith("Error loading zarn.dat \n") and not run.passes, what
            assert run.last["exit"] == 1 and run.last["hiscore"] == 0, what
            assert not os.path.exists(os.path.join(folder, "hiscore.zrn")), what
            outcomes.add("rejected")
        else:
            assert not what.startswith("cut"), f"{what}: a cut pack was accepted"
            assert any(p["loop"] == "game" for p in run.passes), f"{what}: neither rejected nor played"
            outcomes.add("played")
    # Scrambled bytes inside a picture can still load; not all of them can.
    assert outcomes == {"rejected", "played"}
