"""The title menu and the instruction pages, from their pass lines, sounds and
screenshots."""
from zarn_test import QUIT, picture, region, shot, text_image, trace

TO_INSTRUCTIONS = [". 2", ". DOWN", ".", ". DOWN", ".", ". ENTER"]
CLICK = {"sound": "play", "sample": 29, "loop": 0}


def colours(rows):
    return set(b"".join(rows))


def paste(canvas, pic, x, y):
    for dy, row in enumerate(pic[:240 - y]):
        canvas[y + dy][x:x + len(row)] = row[:320 - x]


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


def test_starting_level_and_title_screen():
    lines = [". 2", ".", ". @c1", ". DOWN", ". @c2"] + \
        [l for k in range(1, 17) for l in (f". ENTER @e{k}", f". @d{k}")]
    run = trace(lines + [". @z", ". UP", "."] + QUIT, shots=True)
    digits = lambda n: region(shot(run.folder, n), 240, 144, 16, 8)
    by_line = {l.split("@")[1]: run.passes[i] for i, l in enumerate(lines) if "@" in l}
    for k in range(1, 17):  # the frame of the pass that steps the level still shows the old one
        assert by_line[f"e{k}"]["level"] == k - 1 and digits(f"d{k}") == digits(f"e{k}")
    assert run.passes[len(lines)]["level"] == 0  # 16 steps wrap back to index 0
    assert len({bytes(b"".join(digits(f"e{k}"))) for k in range(1, 17)}) == 16
    assert digits("z") == digits("e1") and 42 in colours(digits("e1"))
    # Texts at their places, the cursor picture beside the chosen item.
    title, moved, cursor = shot(run.folder, "c1"), shot(run.folder, "c2"), picture(16)
    for text, x, y, colour in (("'plenkadoo'", 160 - 44, 112, 19), ("START GAME", 120, 128, 42),
                               ("STARTING LEVEL:01", 120, 144, 42),
                               ("INSTRUCTIONS", 120, 160, 42), ("QUIT", 120, 178, 42)):
        assert region(title, x, y, 8 * len(text), 8) == text_image(text, colour), text
    at = lambda img, y: region(img, 108, y, len(cursor[0]), len(cursor))
    assert at(title, 127) == cursor and at(moved, 143) == cursor and at(moved, 127) != cursor


def test_instruction_pages_end_on_key_or_run_out():
    # Space after n ticks, or (None) the 724 ticks run out with tickless
    # passes between, the held Enter that chose the item being dropped.
    for n in (1, 300, 700, None):
        end = ["T SPACE @k1", ". SPACE @k2", ". SPACE"] if n else \
            ["T ENTER", "T x723", ". x30", "T", ". ENTER", ".", ". x2"]
        run = trace(TO_INSTRUCTIONS + ["T"] * ((n or 1) - 1) + end, shots=True)
        loops = [p["loop"] for p in run.passes]
        start, stay = loops.index("instructions"), n or 755
        assert loops[start:] == ["instructions"] * stay + ["menu"] * (2 if n else 4), n
        back = run.passes[start + stay]
        assert (back["tick_flag"], back["key_latch"], back["ape_pose"]) == (1, 1, 0 if n == 1 else 2)
        assert run.passes[start - 1]["ape_pose"] == 0
        stop = [(start + n - 1, {"sound": "stop", "sample": 26})] if n else []
        assert [(p, s) for p, s in run.events() if s != CLICK] == \
            [(start - 1, {"sound": "play", "sample": 26, "loop": 0})] + stop, n
        # The choosing key keeps the latch: pressed on the first pass back it does nothing.
        assert all(p["menu_choice"] == 0 for p in run.passes[start + stay:])
        assert run.last["menu_cursor"] == 3
        assert len([s for s in run.sounds() if s == CLICK]) == 3
        # The last complete page stays in the buffer for the menu's copy.
        assert n in (1, None) or shot(run.folder, "k1") == shot(run.folder, "k2")


def test_instruction_page_pictures():
    frames = [1, 2, 181, 182, 183, 362, 363, 364, 543, 544, 545, 724]
    # A shot at the top of pass m shows what pass m - 1 left on the screen.
    ticks = ["T" + (f" @f{m - 1}" if m - 1 in frames else "") for m in range(1, 726)]
    folder = trace(TO_INSTRUCTIONS + ticks + [". @end"], shots=True).folder
    shots = {f: shot(folder, f"f{f}") for f in frames}
    header = lambda f: shots[f][32:40]
    # A page lasts 181 ticks; the header shows the page count before the tick's set-up.
    for a in frames:
        for b in frames:
            assert (shots[a][40:] == shots[b][40:]) == ((a - 1) // 181 == (b - 1) // 181), (a, b)
            assert (header(a) == header(b)) == ((a - 2) // 181 == (b - 2) // 181), (a, b)
    captions = ["YOU ARE ZARN", "COLLECT BARRELS", "GIVE TO LADY", "RECIEVE LOVE"]
    for f in frames:
        page = (f - 1) // 181
        text = f"INSTRUCTIONS ({(f - 2) // 181 + 1}/4)"
        assert region(shots[f], 160 - 4 * len(text), 32, 8 * len(text), 8) == \
            text_image(text, 19), f
        text = captions[page]
        assert region(shots[f], 160 - 4 * len(text), 150, 8 * len(text), 8) == \
            text_image(text, 42), f
    # Each page's pictures, opaque, in slot order, on a cleared screen.
    pages = {1: [(2, 137, 100)], 182: [(3, 137, 100), (34, 191, 122)], 363: [(18, 152, 110)],
             544: [(18, 124, 110), (17, 152, 100), (4, 176, 100)]}
    for f, placed in pages.items():
        canvas = [bytearray(320) for _ in range(240)]
        for i, x, y in placed:
            paste(canvas, picture(i), x, y)
        assert shots[f][40:150] == [bytes(r) for r in canvas[40:150]], f
    # After the last page the menu's copy shows the cleared frame with its header.
    end = shot(folder, "end")
    assert end[32:40] == header(724) and colours(end[40:]) == {0} and colours(end[:32]) == {0}


def test_enter_still_held_after_game_over_starts_next_game():
    # Level 16 loses its fourteenth barrel quickly when nobody plays.
    to_level_16 = [". DOWN", "."] + [". ENTER", "."] * 15 + [". UP", "."]
    run = trace([". 2", *to_level_16, ". ENTER", "T x2500", "T ENTER", ". ENTER", "T"])
    games = [i for i, p in enumerate(run.passes) if p["loop"] == "game"]
    over = next(i for i in games if run.passes[i]["game_over"])
    assert run.passes[over]["level"] == 15
    # The Enter that dismissed "GAME OVER" ended the game; still held on the
    # menu's next pass, it starts the next game at once.
    menu = next(i for i in range(over, len(run.passes)) if run.passes[i]["loop"] == "menu")
    assert run.passes[menu - 1]["ape_y"] == 200 and run.passes[menu]["key_latch"] == 0
    assert run.passes[menu + 1]["loop"] == "game" and run.passes[menu + 1]["menu_choice"] == 1
    assert run.passes[menu + 1]["run_active"] == 1 and run.passes[menu + 1]["game_over"] == 0
