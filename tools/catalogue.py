# SPDX-License-Identifier: MIT
"""The resource pack's catalogue as the game and the pack tool have it, read
from src/core/pack_catalogue.h: one (index, name, type, fit, w, h) tuple
per object, in index order."""
import os
import re

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "core",
                      "pack_catalogue.h")
ROW = re.compile(r"^\s*X\((\d+), (\w+), (\w+), (\w+), (\d+), (\d+)\)", re.M)


def objects():
    rows = [(int(i), name, kind, fit, int(w), int(h))
            for i, name, kind, fit, w, h in ROW.findall(open(HEADER).read())]
    assert [r[0] for r in rows] == list(range(len(rows))) and len(rows) >= 40, rows
    return rows
