# SPDX-License-Identifier: MIT
"""The facts the game shares with the tools, read from its headers that
include nothing: the resource pack's catalogue (src/core/pack_catalogue.h),
the playfield's layout (src/core/playfield_layout.h) and the tick rate
(src/platform/tick_rate.h)."""
import functools
import os
import re
from types import SimpleNamespace

SRC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
HEADER = os.path.join(SRC, "core", "pack_catalogue.h")
ROW = re.compile(r"^\s*X\((\d+), (\w+), (\w+), (\w+), (\d+), (\d+)\)", re.M)
# An enum's `NAME = number` and a one-line `inline constexpr int name[N] = {...};`.
NUMBER = re.compile(r"\b([A-Z][A-Z0-9_]*) = (-?\d+)\b")
TABLE = re.compile(r"^\s*inline constexpr int (\w+)\[\w*\] = \{([^}]*)\};", re.M)


def objects():
    """One (index, name, type, fit, w, h) tuple per object, in index order."""
    rows = [(int(i), name, kind, fit, int(w), int(h))
            for i, name, kind, fit, w, h in ROW.findall(open(HEADER).read())]
    assert [r[0] for r in rows] == list(range(len(rows))) and len(rows) >= 40, rows
    return rows


def facts(*path):
    """A header's numbers and tables by name."""
    text = open(os.path.join(SRC, *path)).read()
    found = {name: int(v) for name, v in NUMBER.findall(text)}
    found.update((name, [int(v) for v in values.split(",")]) for name, values in TABLE.findall(text))
    return found


@functools.lru_cache(None)
def layout():
    """The playfield's places and tables: layout().APE_X, layout().rung_y, ..."""
    found = facts("core", "playfield_layout.h")
    assert len(found["rung_y"]) == found["NUM_RUNGS"] and len(found["lane_rung"]) == found["NUM_LANES"], found
    return SimpleNamespace(**found)


@functools.lru_cache(None)
def ticks_per_second():
    return facts("platform", "tick_rate.h")["TICKS_PER_SECOND"]
