"""The title menu and the instruction pages, from their pass lines, sounds and
screenshots."""
import os
import struct
import subprocess
import tempfile

from zarn_test import PACK, scratch, trace

QUIT = [". DOWN", ".", ". DOWN", ".", ". DOWN", ".", ". ENTER"]
TO_INSTRUCTIONS = [". 2", ". DOWN", ".", ". DOWN", ".", ". ENTER"]
CLICK = {"sound": "play", "sample": 29, "loop": 0}


def read_bmp(path):
    """An 8-bit BMP as a list of rows (bytes of palette indices), top first."""
    d = open(path, "rb").read()
    offset, = struct.unpack_from("<I", d, 10)
    w, h, _, bpp = struct.unpack_from("<iiHH", d, 18)
    assert bpp == 8, path
    stride = (w + 3) & ~3
    rows = [d[offset + y * stride:offset + y * stride + w] for y in range(abs(h))]
    return rows[::-1] if h > 0 else rows


def pack_pictures(*indices):
    """The pack's pictures at these indices, exported with the library's tool."""
    out = tempfile.mkdtemp(prefix="zarn-objects-")
    dat = lambda *a: subprocess.run(["dat", PACK, "-007", "qev", *a], stdin=subprocess.DEVNULL,
                                    capture_output=True, text=True, check=True, timeout=60).stdout
    names = [l.split(" - ")[1].strip() for l in dat("-l").splitlines() if l.startswith("- ")]
    pictures = {}
    for i in indices:
        dat("-e", names[i], "-o", os.path.join(out, f"{i}.bmp"))
        pictures[i] = read_bmp(os.path.join(out, f"{i}.bmp"))
    return pictures


def region(img, x, y, w, h):
    return [row[x:x + w] for row in img[y:y + h]]


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
        assert after["menu_cursor"] == cursor, (i, line)
        assert len([s for p, s in ev if p == i + 1]) == clicks, (i, line)
    assert all(s == CLICK for s in run.sounds())
    assert all(p["loop"] == "menu" and p["menu_choice"] == 0 for p in run.passes[1:])
    assert list(run.last)[0] == "exit" and run.last["exit"] == 0


def test_starting_level_and_title_screen():
    shots = tempfile.mkdtemp(prefix="zarn-shots-")
    lines = [". 2", ".", ". @c1", ". DOWN", ". @c2"]
    for k in range(1, 17):
        lines += [f". ENTER @e{k}", f". @d{k}"]
    run = trace(lines + [". @z", ". UP", "."] + QUIT, "--shots", shots)
    shot = lambda n: read_bmp(os.path.join(shots, n + ".bmp"))
    digits = lambda n: region(shot(n), 240, 144, 16, 8)
    by_line = {l.split("@")[1]: run.passes[i] for i, l in enumerate(lines) if "@" in l}
    for k in range(1, 17):
        assert by_line[f"e{k}"]["level"] == k - 1
        # The frame of the pass that steps the level still shows the old one.
        assert digits(f"d{k}") == digits(f"e{k}")
    assert run.passes[len(lines)]["level"] == 0  # 16 steps wrap back to index 0
    assert len({bytes(b"".join(digits(f"e{k}"))) for k in range(1, 17)}) == 16
    assert digits("z") == digits("e1") and 42 in colours(digits("e1"))
    # Texts at their places, the cursor picture beside the chosen item.
    title = shot("c1")
    for x, y, w, colour in ((120, 128, 80, 42), (120, 144, 120, 42), (120, 160, 96, 42),
                            (120, 178, 32, 42), (116, 112, 88, 19)):
        assert colour in colours(region(title, x, y, w, 8)), y
    cursor = pack_pictures(16)[16]
    cw, ch = len(cursor[0]), len(cursor)
    assert region(title, 108, 127, cw, ch) == cursor
    moved = shot("c2")
    assert region(moved, 108, 143, cw, ch) == cursor
    assert region(moved, 108, 127, cw, ch) != cursor


def test_instruction_pages_run_out():
    run = trace(TO_INSTRUCTIONS + ["T ENTER", "T x723", ". x30", "T", ". ENTER", ".", ". x2"])
    loops = [p["loop"] for p in run.passes]
    start = loops.index("instructions")
    # The held ENTER that chose the item, already in the key buffer, is dropped.
    assert loops[start:] == ["instructions"] * 755 + ["menu"] * 4
    back = run.passes[start + 755]
    assert back["tick_flag"] == 1 and back["ape_pose"] == 2 and back["key_latch"] == 1
    assert run.passes[start - 1]["ape_pose"] == 0
    ev = [(p, s) for p, s in run.events() if s != CLICK]
    assert ev == [(start - 1, {"sound": "play", "sample": 26, "loop": 0})]
    # The choosing key still has the latch: Enter on the first pass back does nothing.
    assert all(p["menu_choice"] == 0 for p in run.passes[start + 755:])
    assert len([s for s in run.sounds() if s == CLICK]) == 3


def test_instruction_pages_end_on_key():
    for n in (1, 300, 700):
        shots = tempfile.mkdtemp(prefix="zarn-shots-")
        run = trace(TO_INSTRUCTIONS + ["T"] * (n - 1) + ["T SPACE @k1", ". SPACE @k2", ". SPACE"],
                    "--shots", shots)
        loops = [p["loop"] for p in run.passes]
        start = loops.index("instructions")
        assert loops[start:] == ["instructions"] * n + ["menu"] * 2, n
        back = run.passes[start + n]
        assert back["tick_flag"] == 1 and back["key_latch"] == 1 and back["menu_choice"] == 0
        assert back["ape_pose"] == (0 if n == 1 else 2)
        ev = [(p, s) for p, s in run.events() if s != CLICK]
        assert ev == [(start - 1, {"sound": "play", "sample": 26, "loop": 0}),
                      (start + n - 1, {"sound": "stop", "sample": 26})], n
        assert run.last["menu_choice"] == 0 and run.last["menu_cursor"] == 3
        # The last complete page stays in the buffer for the menu's copy.
        if n > 1:
            assert read_bmp(os.path.join(shots, "k1.bmp")) == read_bmp(os.path.join(shots, "k2.bmp"))


def test_instruction_page_pictures():
    shots = tempfile.mkdtemp(prefix="zarn-shots-")
    frames = [1, 2, 181, 182, 183, 362, 363, 364, 543, 544, 545, 724]
    # A shot at the top of pass m shows what pass m - 1 left on the screen.
    ticks = ["T" + (f" @f{m - 1}" if m - 1 in frames else "") for m in range(1, 726)]
    trace(TO_INSTRUCTIONS + ticks + [". @end"], "--shots", shots)
    shot = {f: read_bmp(os.path.join(shots, f"f{f}.bmp")) for f in frames}
    header = lambda f: shot[f][32:40]
    body = lambda f: shot[f][40:]
    for a, b, same in ((1, 181, 1), (181, 182, 0), (182, 362, 1), (362, 363, 0),
                       (363, 543, 1), (543, 544, 0), (544, 724, 1)):
        assert (body(a) == body(b)) == bool(same), (a, b)
    # The header shows the page count before the tick's set-up.
    for a, b, same in ((1, 2, 0), (2, 182, 1), (182, 183, 0), (183, 363, 1), (363, 364, 0),
                       (364, 544, 1), (544, 545, 0), (545, 724, 1)):
        assert (header(a) == header(b)) == bool(same), (a, b)
    assert all(colours(header(f)) == {0, 19} for f in frames)
    assert all(42 in colours(shot[f][150:158]) for f in frames)
    # Each page's pictures, opaque, in slot order, on a cleared screen.
    pics = pack_pictures(2, 3, 4, 17, 18, 34)
    pages = {1: [(2, 137, 100)], 182: [(3, 137, 100), (34, 191, 122)], 363: [(18, 152, 110)],
             544: [(18, 124, 110), (17, 152, 100), (4, 176, 100)]}
    for f, placed in pages.items():
        canvas = [bytearray(320) for _ in range(240)]
        for i, x, y in placed:
            paste(canvas, pics[i], x, y)
        assert shot[f][40:150] == [bytes(r) for r in canvas[40:150]], f
    # After the last page the menu's copy shows the cleared frame with its header.
    end = read_bmp(os.path.join(shots, "end.bmp"))
    assert end[32:40] == header(724) and colours(end[40:]) == {0} and colours(end[:32]) == {0}


def test_quit_saves_for_the_next_run():
    # A lone 0A byte reads as 10 and is written back with its 0D.
    folder = scratch(hiscore=b"\x0a\x00\x00\x00")
    for _ in range(2):
        run = trace([". 2"] + QUIT, folder=folder)
        assert run.passes[1]["hiscore"] == 10 and run.last["exit"] == 0
        assert open(os.path.join(folder, "hiscore.zrn"), "rb").read() == b"\x0d\x0a\x00\x00\x00"


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
