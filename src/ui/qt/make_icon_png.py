#!/usr/bin/env python3
"""Writes the program icon as PNG files for Linux: the same picture as the
Windows icon (drawn by ../win32/make_icon.py), at 32 x 32 and enlarged
without smoothing to 64 and 128, as quorvantel-<size>.png.

    make_icon_png.py <output folder>
"""
import importlib.util
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = (32, 64, 128)


def windows_icon():
    path = os.path.join(HERE, "..", "win32", "make_icon.py")
    found = importlib.util.spec_from_file_location("make_icon", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def png(pixels, palette, scale):
    """An RGBA PNG of `pixels` (palette indices, None for clear)."""
    rows = []
    for row in pixels:
        line = bytearray()
        for c in row:
            rgba = (0, 0, 0, 0) if c is None else palette[c] + (255,)
            line += bytes(rgba) * scale
        rows.extend([b"\0" + bytes(line)] * scale)  # filter type 0 per row
    size = len(pixels) * scale

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    icon = windows_icon()
    pixels = icon.draw()
    for size in SIZES:
        with open(os.path.join(out, "quorvantel-%d.png" % size), "wb") as f:
            f.write(png(pixels, icon.PALETTE, size // icon.SIZE))


if __name__ == "__main__":
    main()
