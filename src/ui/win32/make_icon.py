#!/usr/bin/env python3
"""Draws the program icon (a folder with an arrow going into it) and writes
it as a .ico file: one 32 x 32 image with 16 colours.

    make_icon.py <output.ico>
"""
import struct
import sys

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, DARK_GREEN, GREEN, YELLOW, WHITE = 0, 3, 2, 10, 11, 15
CLEAR = None


def draw():
    px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def rect(x0, y0, x1, y1, fill, edge):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                border = x in (x0, x1) or y in (y0, y1)
                px[y][x] = edge if border else fill

    # Folder: the tab, the back panel, then the front panel over both.
    rect(3, 8, 13, 11, YELLOW, OLIVE)
    rect(3, 10, 28, 28, YELLOW, OLIVE)
    rect(2, 14, 29, 29, YELLOW, BLACK)
    for x in range(3, 29):  # a highlight along the front panel's top
        px[15][x] = WHITE

    # Arrow pointing down into the folder: a shaft, then a head.
    rect(13, 1, 18, 14, GREEN, DARK_GREEN)
    for row in range(8):
        y = 14 + row
        left, right = 9 + row, 22 - row
        for x in range(left, right + 1):
            px[y][x] = DARK_GREEN if x in (left, right) or row == 7 else GREEN
    for x in range(14, 18):  # joint between shaft and head stays open
        px[14][x] = GREEN
    return px


def encode(px):
    xor_rows, and_rows = [], []
    for row in reversed(px):  # bitmaps are stored bottom-up
        nibbles = [0 if c is CLEAR else c for c in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1]
                              for i in range(0, SIZE, 2)))
        mask = 0
        for c in row:
            mask = (mask << 1) | (1 if c is CLEAR else 0)
        and_rows.append(mask.to_bytes(SIZE // 8, "big"))
    xor, andm = b"".join(xor_rows), b"".join(and_rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(andm), 0, 0, 16, 0)
    image = header + palette + xor + andm
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    with open(sys.argv[1], "wb") as f:
        f.write(encode(draw()))


if __name__ == "__main__":
    main()
