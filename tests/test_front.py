# SPDX-License-Identifier: MIT
"""The title menu and the instruction pages, from their pass lines, sounds and
screenshots."""
from zarn_test import QUIT, picture, region, shot, text_image, trace

TO_INSTRUCTIONS = [". 2", ". DOWN", ".", ". DOWN", ".", ". ENTER"]
CLICK = {"sound": "play", "sample": 29, "loop": 0}


def test_menu_keys():
    # (line, cursor after it, clicks during it); the cursor starts on item 1.
    steps = [(". DOWN", 2, 1)] + [(". DOWN", 2, 0)] * 4 + [(".", 2, 0),
             (". UP", 1, 1), (".", 1, 0), (". UP", 1, 0), (".", 1, 0),      # Up on the top item
             (". DOWN", 2, 1), (". DOWN,UP", 2, 0), (". UP", 2, 0), (".", 2, 0),
             (". UP,DOWN", 1, 1), (".", 1, 0),                              # Up wins
             (". DOWN", 2, 1), (".", 2, 0), (". UP,ENTER", 1, 1), (". ENTER", 1, 0), (".", 1, 0),
             (". DOWN", 2, 1), (".", 2, 0), (". DOWN", 3, 1), (".", 3, 0),
             (". DOWN", 4, 1), (".", 4, 0), (". DOWN", 4, 0), (".", 4, 0),  # Down on the last
             (". SPACE", 4, 0)]                                             # QUIT is silent
    run = trace([". 2"] + [s[0] for s in steps])
    ev = run.events()
    for i, (line, cursor, clicks) in enumerate(steps):
        after = run.passes[i + 2] if i + 2 < len(run.passes) else run.last
        assert (after["menu_cursor"], len([s for p, s in ev if p == i + 1])) == (cursor, clicks), (i, line)
    assert all(s == CLICK for s in run.sounds())
    assert all(p["loop"] == "menu" and p["menu_choice"] == 0 for p in run.passes[1:])
    assert run.last["exit"] == 0


def test_starting_level_steps_and_wraps():
    # The number shown beside the item and the cursor beside the chosen item;
    # a pass that steps the level still shows the old number.
    lines = [". 2", ".", ". DOWN", ". @c"] + [l for k in range(16) for l in (f". ENTER @e{k}", f". @d{k}")]
    run = trace(lines + [". @z"] + QUIT, shots=True)
    digits = lambda name: region(shot(run.folder, name), 240, 144, 16, 8)
    for k in range(16):
        assert digits(f"d{k}") == digits(f"e{k}") == text_image(f"{k + 1:02}", 42), k
    assert run.passes[len(lines)]["level"] == 0 and digits("z") == text_image("01", 42)
    cursor = picture(16)
    assert region(shot(run.folder, "c"), 108, 143, len(cursor[0]), len(cursor)) == cursor


def test_instruction_pages():
    # Space on the n-th tick, or the 725 ticks run out with tickless passes
    # between. A shot at the top of pass m shows what pass m - 1 left: a page
    # is set up on ticks 1, 182, 363 and 544, its header counting it from the
    # tick after.
    frames = [1, 2, 182, 183, 363, 364, 544, 545]
    ticks = ["T" + (f" @f{k}" if k in frames else "") for k in range(724)]
    for n in (1, 300, None):
        end = ["T SPACE @k1", ". SPACE @k2", ". SPACE"] if n else [". x30", "T", ". ENTER @end", ".", ". x2"]
        run = trace(TO_INSTRUCTIONS + ticks[:(n or 725) - 1] + end, shots=True)
        loops = [p["loop"] for p in run.passes]
        start, stay = loops.index("instructions"), n or 755
        assert loops[start:] == ["instructions"] * stay + ["menu"] * (2 if n else 4), n
        back = run.passes[start + stay]
        assert (back["tick_flag"], back["key_latch"], back["ape_pose"]) == (1, 1, 0 if n == 1 else 2)
        # A click for each Down and one for the choice, on its pass, before the music.
        stop = [(start + n - 1, {"sound": "stop", "sample": 26})] if n else []
        assert run.events() == [(1, CLICK), (3, CLICK), (start - 1, CLICK),
                                (start - 1, {"sound": "play", "sample": 26, "loop": 0})] + stop, n
        # The choosing key keeps the latch: still down on the menu it does nothing.
        assert all(p["menu_choice"] == 0 for p in run.passes[start + stay:]) and run.last["menu_cursor"] == 3
        if n:  # the last page's frame stays on the screen until the menu's next pass
            assert shot(run.folder, "k1") == shot(run.folder, "k2")
            continue
        pages = [("YOU ARE ZARN", [(2, 137, 100)]), ("COLLECT BARRELS", [(3, 137, 100), (34, 191, 122)]),
                 ("GIVE TO LADY", [(18, 152, 110)]),
                 ("RECIEVE LOVE", [(18, 124, 110), (17, 152, 100), (4, 176, 100)])]
        for k, f in enumerate(frames):
            caption, placed = pages[k // 2]
            want = [bytearray(320) for _ in range(240)]
            for y, text, colour in ((32, f"INSTRUCTIONS ({k // 2 + k % 2}/4)", 19), (150, caption, 42)):
                for dy, row in enumerate(text_image(text, colour)):
                    want[y + dy][160 - len(row) // 2:160 + len(row) // 2] = row
            for i, x, y in placed:  # opaque, in slot order
                for dy, row in enumerate(picture(i)):
                    want[y + dy][x:x + len(row)] = row
            assert shot(run.folder, f"f{f}") == [bytes(r) for r in want], f
        # After the last page the menu's copy shows the cleared frame with its header.
        last = shot(run.folder, "end")
        assert last[32:40] == shot(run.folder, "f545")[32:40] and set(b"".join(last[:32] + last[40:])) == {0}
