#!/usr/bin/env python3
"""Draws the button bitmaps and the program icon of MELVARINO.

Writes resources/bitmaps/<name>.bmp (24-bit, uncompressed, bottom-up) for every
button face and its greyed twin, and resources/melvarino.ico (16x16 and 32x32,
32-bit with an AND mask). The generated files are committed, so building the
program never needs Python; run this again after changing a glyph:

    python3 resources/make_resources.py
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
BITMAP_DIR = os.path.join(HERE, "bitmaps")
ICON_PATH = os.path.join(HERE, "melvarino.ico")

# Glyphs fit the smallest button (25 x 22) inside its 2-pixel frame.
GLYPH_W, GLYPH_H = 20, 16

FACE = (192, 192, 192)  # the fixed button face the glyphs sit on
INK = (0, 0, 0)
RECORD_RED = (208, 0, 0)
GREY_INK = (128, 128, 128)
GREY_EMBOSS = (255, 255, 255)


# --------------------------------------------------------------------------
# Shapes: each is a test "is the pixel centre (px, py) inside?"

def polygon(*points):
    def inside(px, py):
        hit = False
        n = len(points)
        for i in range(n):
            x1, y1 = points[i]
            x2, y2 = points[(i + 1) % n]
            if (y1 > py) != (y2 > py):
                cross = x1 + (py - y1) * (x2 - x1) / (y2 - y1)
                if px < cross:
                    hit = not hit
        return hit
    return inside


def rect(left, top, right, bottom):
    """Pixels left..right-1, top..bottom-1."""
    return lambda px, py: left <= px < right and top <= py < bottom


def ellipse(cx, cy, rx, ry):
    return lambda px, py: ((px - cx) / rx) ** 2 + ((py - cy) / ry) ** 2 <= 1.0


def union(*shapes):
    return lambda px, py: any(s(px, py) for s in shapes)


def art(rows, left=0, top=0):
    """A pattern of '#' characters placed at (left, top)."""
    cells = {(x + left, y + top) for y, row in enumerate(rows) for x, ch in enumerate(row) if ch == "#"}
    return lambda px, py: (int(px), int(py)) in cells


def mask_of(shape, w=GLYPH_W, h=GLYPH_H):
    return {(x, y) for y in range(h) for x in range(w) if shape(x + 0.5, y + 0.5)}


# --------------------------------------------------------------------------
# The glyphs

FLAT_ART = [
    "##     ",
    "##     ",
    "##     ",
    "##     ",
    "##     ",
    "## ### ",
    "#######",
    "###  ##",
    "##   ##",
    "##  ## ",
    "## ##  ",
    "####   ",
    "###    ",
    "##     ",
]

SHARP_ART = [
    "   ##  ##   ",
    "   ##  ##   ",
    "   ##  ##   ",
    "############",
    "############",
    "   ##  ##   ",
    "   ##  ##   ",
    "   ##  ##   ",
    "############",
    "############",
    "   ##  ##   ",
    "   ##  ##   ",
    "   ##  ##   ",
    "   ##  ##   ",
]


def play_triangle(left, top, right, bottom):
    return polygon((left, top), (left, bottom), (right, (top + bottom) / 2))


def back_triangle(left, top, right, bottom):
    return polygon((right, top), (right, bottom), (left, (top + bottom) / 2))


GLYPHS = {
    "play": (play_triangle(6, 2, 15.5, 14), INK),
    "stop": (rect(5, 3, 15, 13), INK),
    "pause": (union(rect(5, 3, 9, 13), rect(11, 3, 15, 13)), INK),
    # Eject: a triangle pointing up over a bar.
    "open": (union(polygon((3.5, 9.5), (16.5, 9.5), (10, 2.5)), rect(4, 11, 16, 13)), INK),
    "flat": (art(FLAT_ART, 7, 1), INK),
    "sharp": (art(SHARP_ART, 4, 1), INK),
    # Tempo: a small play triangle with an arrow down (slower) or up (faster).
    "playdown": (union(play_triangle(2, 4, 9, 12), rect(13, 2, 15, 9), polygon((10, 8.5), (18, 8.5), (14, 14))), INK),
    "playup": (union(play_triangle(2, 4, 9, 12), rect(13, 7, 15, 14), polygon((10, 7.5), (18, 7.5), (14, 2))), INK),
    # Previous and next: a bar and two triangles.
    "playback": (union(rect(3, 3, 5, 13), back_triangle(5, 3, 11, 13), back_triangle(11, 3, 17, 13)), INK),
    "playnext": (union(rect(15, 3, 17, 13), play_triangle(3, 3, 9, 13), play_triangle(9, 3, 15, 13)), INK),
    # Convert and save: a record dot.
    "rec": (ellipse(10, 8, 5.6, 5.6), RECORD_RED),
}


def live_face(mask, colour):
    pixels = [[FACE] * GLYPH_W for _ in range(GLYPH_H)]
    for x, y in mask:
        pixels[y][x] = colour
    return pixels


def greyed_face(mask):
    """The disabled look: the glyph in grey with a white edge below right."""
    pixels = [[FACE] * GLYPH_W for _ in range(GLYPH_H)]
    for x, y in mask:
        if x + 1 < GLYPH_W and y + 1 < GLYPH_H:
            pixels[y + 1][x + 1] = GREY_EMBOSS
    for x, y in mask:
        pixels[y][x] = GREY_INK
    return pixels


# --------------------------------------------------------------------------
# File writers

def bmp_bytes(pixels):
    """A 24-bit bottom-up .bmp of rows of (r, g, b)."""
    h = len(pixels)
    w = len(pixels[0])
    stride = (w * 3 + 3) // 4 * 4
    rows = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        rows += line
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return header + info + bytes(rows)


NOTE_COLOUR = (24, 40, 136)


def note_shape():
    """An eighth note in the unit square."""
    head = ellipse(0.36, 0.76, 0.21, 0.15)
    stem = rect(0.50, 0.10, 0.58, 0.76)
    flag = polygon((0.50, 0.10), (0.58, 0.10), (0.86, 0.34), (0.80, 0.52), (0.58, 0.30))
    return union(head, stem, flag)


def icon_image(size):
    """One 32-bit icon image with its AND mask, as stored inside an .ico."""
    shape = note_shape()
    samples = 4
    alpha = [[0] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            hits = 0
            for sy in range(samples):
                for sx in range(samples):
                    u = (x + (sx + 0.5) / samples) / size
                    v = (y + (sy + 0.5) / samples) / size
                    hits += shape(u, v)
            alpha[y][x] = round(255 * hits / (samples * samples))
    colour = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b = NOTE_COLOUR
            colour += bytes((b, g, r, alpha[y][x]))
    mask_stride = (size + 31) // 32 * 4
    mask = bytearray()
    for y in reversed(range(size)):
        line = bytearray(mask_stride)
        for x in range(size):
            if alpha[y][x] < 128:  # transparent where the note is not
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + bytes(colour) + bytes(mask)


def ico_bytes(sizes):
    images = [icon_image(s) for s in sizes]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = bytearray()
    for size, image in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return header + bytes(entries) + b"".join(images)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main():
    os.makedirs(BITMAP_DIR, exist_ok=True)
    for name, (shape, colour) in GLYPHS.items():
        mask = mask_of(shape)
        write(os.path.join(BITMAP_DIR, name + ".bmp"), bmp_bytes(live_face(mask, colour)))
        write(os.path.join(BITMAP_DIR, "n" + name + ".bmp"), bmp_bytes(greyed_face(mask)))
    write(ICON_PATH, ico_bytes([16, 32]))


if __name__ == "__main__":
    main()
