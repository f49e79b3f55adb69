"""Damaged resource packs must end in the load error or in a working game,
never in a crash: cut and scrambled copies of the real pack, played for a
few seconds on the sanitizer build."""
import os
import random

import zarn_test

SCRIPT = [". 2", ".", ". ENTER", "T x60", "T DOWN x20", "T ESC", ". x2", ". UP,ENTER", "T x5"]


def damaged_copies():
    good = open(zarn_test.PACK, "rb").read()
    rnd = random.Random(2026)
    # Cuts at the header, inside the object list and just short of the end.
    for cut in (0, 3, 4, 8, 12, 100, len(good) // 2, len(good) - 1) + tuple(
            rnd.randrange(len(good)) for _ in range(8)):
        yield f"cut at {cut}", good[:cut]
    for n in range(16):
        data = bytearray(good)
        at = rnd.randrange(len(data))
        for i in range(rnd.randint(1, 48)):
            if at + i < len(data):
                data[at + i] = rnd.randrange(256)
        yield f"scrambled at {at}", bytes(data)


def test_damaged_packs_never_crash():
    outcomes = set()
    for what, data in damaged_copies():
        folder = zarn_test.scratch(pack=False)
        with open(os.path.join(folder, "zarn.dat"), "wb") as f:
            f.write(data)
        run = zarn_test.trace(SCRIPT, folder=folder)
        assert run.returncode == 0, f"{what}: exit {run.returncode}\n{run.stderr[-2000:]}"
        messages = [l["message"] for l in run.lines if "message" in l]
        if messages:
            assert messages[0].startswith("Error loading zarn.dat \n"), what
            assert run.last == {**run.last, "exit": 1}, what
            assert not os.path.exists(os.path.join(folder, "hiscore.zrn")), what
            outcomes.add("rejected")
        else:
            assert not what.startswith("cut"), f"{what}: a cut pack was accepted"
            assert run.loop_passes("game"), f"{what}: neither rejected nor played"
            outcomes.add("played")
    # Scrambled bytes inside a picture can still load; not all of them can.
    assert outcomes == {"rejected", "played"}
