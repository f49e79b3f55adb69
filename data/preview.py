#!/usr/bin/env python3
"""Renders what zarn_packtool made into PNGs for looking at, not for the game.

    preview.py STAGE_DIR OUT_DIR

STAGE_DIR is the folder of NN_*.bmp files (build/data/pack). Writes, scaled
three times: every picture on its own, a contact sheet of the sprites
(colour 0 shown as dark teal so the outlines show), the font, and mock-ups
of the playfield and the title screen put together as the game draws them.
Needs ImageMagick's `convert` for the PNGs.
"""
import os
import struct
import subprocess
import sys


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    off, = struct.unpack_from("<I", data, 10)
    w, h = struct.unpack_from("<ii", data, 18)
    pal = [(data[54 + 4 * i + 2], data[54 + 4 * i + 1], data[54 + 4 * i])
           for i in range(256)]
    stride = (w + 3) & ~3
    px = [[data[off + (h - 1 - y) * stride + x] for x in range(w)] for y in range(h)]
    return w, h, px, pal


class Canvas:
    def __init__(self, w, h, fill=0):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def draw(self, img, x0, y0, masked=True, clip=None):
        w, h, px = img[0], img[1], img[2]
        if clip:
            w, h = min(w, clip[0]), min(h, clip[1])
        for y in range(h):
            for x in range(w):
                c = px[y][x]
                if masked and c == 0:
                    continue
                if 0 <= x0 + x < self.w and 0 <= y0 + y < self.h:
                    self.px[y0 + y][x0 + x] = c

    def fill(self, x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(self.h, y1 + 1)):
            for x in range(max(0, x0), min(self.w, x1 + 1)):
                self.px[y][x] = c

    def text(self, font, s, x, y, colour, centre=False):
        if centre:
            x -= len(s) * 4
        for i, ch in enumerate(s):
            bits = font[ord(ch) * 8: ord(ch) * 8 + 8]
            for row in range(8):
                for col in range(8):
                    c = colour if bits[row] & (0x80 >> col) else 0
                    px, py = x + i * 8 + col, y + row
                    if 0 <= px < self.w and 0 <= py < self.h:
                        self.px[py][px] = c

    def save(self, path, pal, scale=3, zero=None):
        rgb = bytearray()
        for row in self.px:
            for c in row:
                rgb += bytes(zero if (zero and c == 0) else pal[c])
        ppm = path[:-4] + ".ppm"
        with open(ppm, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (self.w, self.h) + bytes(rgb))
        subprocess.run(["convert", ppm, "-scale", f"{scale * 100}%", path], check=True)
        os.remove(ppm)


def main():
    stage, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    imgs = {}
    for name in sorted(os.listdir(stage)):
        if name.endswith(".bmp") and not name.startswith("20_"):
            imgs[int(name[:2])] = read_bmp(os.path.join(stage, name)) + (name[:-4],)
    pal = read_bmp(os.path.join(stage, "20_palette.bmp"))[3]
    with open(os.path.join(stage, "14_font.fnt"), "rb") as f:
        font = f.read()
    teal = (0, 56, 64)

    for idx, img in imgs.items():
        c = Canvas(img[0], img[1])
        c.draw(img, 0, 0, masked=False)
        c.save(os.path.join(out, img[4] + ".png"), pal, 3 if img[0] > 64 else 6,
               zero=None if img[0] > 64 else teal)

    # Contact sheet of every small picture.
    small = [i for i in sorted(imgs) if imgs[i][0] <= 64]
    sheet = Canvas(8 * 52, ((len(small) + 7) // 8) * 46, 0)
    for n, i in enumerate(small):
        x, y = (n % 8) * 52 + 2, (n // 8) * 46 + 2
        sheet.fill(x, y, x + imgs[i][0] - 1, y + imgs[i][1] - 1, 0)
        sheet.draw(imgs[i], x, y, masked=False)
    sheet.save(os.path.join(out, "sheet.png"), pal, 4)

    fontsheet = Canvas(16 * 9 + 2, 6 * 10 + 2)
    for ch in range(32, 127):
        k = ch - 32
        fontsheet.text(font, chr(ch), 1 + (k % 16) * 9, 1 + (k // 16) * 10, 42)
    fontsheet.save(os.path.join(out, "font.png"), pal, 5)

    # The playfield as the game puts it together mid-level.
    c = Canvas(320, 240)
    c.draw(imgs[15], 0, 0, masked=False)
    c.fill(0, 0, 319, 7, 0)
    c.text(font, "Score:", 16, 0, 42)
    c.text(font, "0120", 64, 0, 42)
    c.text(font, "Top:", 128, 0, 42)
    c.text(font, "1500", 160, 0, 42)
    c.text(font, "Level:", 240, 0, 42)
    c.text(font, "03", 288, 0, 42)
    for n in range(7):
        c.draw(imgs[39], 10 * (n % 5), 56 if n < 5 else 40, clip=(10, 16))
    c.draw(imgs[19], 68, 51, masked=False, clip=(16, 22))
    c.draw(imgs[2], 137, 100)
    c.draw(imgs[34], 123, 122)
    c.draw(imgs[35], 186, 122)
    c.draw(imgs[36], 250, 43)
    c.draw(imgs[37], 40, 191)
    c.draw(imgs[34], 100, 63)
    for n, x in enumerate([0, 16, 32]):
        c.draw(imgs[10 + (n == 2)], x, 215, masked=False, clip=(15, 16))
    c.draw(imgs[12], 121, 209, clip=(16, 23))
    c.draw(imgs[13], 184, 209, clip=(16, 23))
    c.draw(imgs[8], 152, 217)
    c.save(os.path.join(out, "mockup_playfield.png"), pal)

    # Ape holding a barrel, reaching, and the level-clear scene.
    c = Canvas(320, 240)
    c.draw(imgs[15], 0, 0, masked=False)
    c.draw(imgs[2], 137, 64)
    c.draw(imgs[38], 137 + 17, 64 + 20)
    c.draw(imgs[3], 137, 134)
    c.draw(imgs[36], 186, 157)
    c.draw(imgs[0], 137, 170)
    for n in range(10):
        c.draw(imgs[39], 10 * (n % 5), 56 if n < 5 else 40, clip=(10, 16))
    c.draw(imgs[18], 68, 51, masked=False, clip=(16, 22))
    c.draw(imgs[17], 72, 34, masked=False)
    c.draw(imgs[4], 137, 20)
    c.draw(imgs[9], 152, 217)
    c.save(os.path.join(out, "mockup_playfield2.png"), pal)

    # Game over: the ape on the ground.
    c = Canvas(320, 240)
    c.draw(imgs[15], 0, 0, masked=False)
    c.draw(imgs[5], 137, 200)
    c.draw(imgs[7], 137, 120)
    c.fill(124, 97, 196, 111, 0)
    c.text(font, "GAME OVER", 160, 100, 42, centre=True)
    c.save(os.path.join(out, "mockup_gameover.png"), pal)

    c = Canvas(320, 240)
    c.draw(imgs[33], 0, 0, masked=False)
    c.text(font, "'plenkadoo'", 160, 112, 19, centre=True)
    c.text(font, "START GAME", 120, 128, 42)
    c.text(font, "STARTING LEVEL:", 120, 144, 42)
    c.text(font, "01", 240, 144, 42)
    c.text(font, "INSTRUCTIONS", 120, 160, 42)
    c.text(font, "QUIT", 120, 178, 42)
    c.draw(imgs[16], 108, 16 * 1 + 111, masked=False)
    for i, s in enumerate(["A ZARN PRODUCTION", "MADE WITH C++ AND ALLEGRO",
                           "(C) 2026 THE ZARN TEAM"]):
        c.text(font, s, 160, 200 + 9 * i, 19, centre=True)
    c.save(os.path.join(out, "mockup_title.png"), pal)
    print("wrote", out)


if __name__ == "__main__":
    main()
