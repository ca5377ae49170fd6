#!/usr/bin/env python3
"""Draws the small product icons of the shipped scan configuration.

Each icon is a 24x24 RGBA PNG: a rounded tile in the product's colour with
a simple white glyph. The script prints, for every icon name, one line
"name base64" (the Base64 of the PNG file, as the configuration's <icon>
elements hold it). Deterministic: rerunning it gives the same text.

Usage: tools/make-config-icons.py [name ...]
"""
import base64
import struct
import sys
import zlib

SIZE = 24

# name: (tile colour, glyph)
ICONS = {
    "brisklet": ((0x2E, 0x6F, 0xD8), "diagonal"),
    "quorlin": ((0x1F, 0x9E, 0x6B), "ring"),
    "tandrel": ((0xE0, 0x8A, 0x1E), "bars"),
    "pelliton": ((0x8E, 0x44, 0xC9), "arrows"),
    "vesk": ((0xC7, 0x3B, 0x3B), "diamond"),
}


def inside_tile(x, y):
    """A square with corners rounded by radius 4."""
    radius = 4
    cx = min(max(x, radius), SIZE - 1 - radius)
    cy = min(max(y, radius), SIZE - 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def glyph(kind, x, y):
    if kind == "diagonal":
        return 5 <= x <= 18 and 5 <= y <= 18 and abs(x - y) <= 1
    if kind == "ring":
        d = (x - 11.5) ** 2 + (y - 11.5) ** 2
        return 25 <= d <= 49
    if kind == "bars":
        return 6 <= y <= 17 and x in (6, 7, 11, 12, 16, 17) and (x < 11 or y >= 9) and (x < 16 or y >= 12)
    if kind == "arrows":
        up = 6 <= y <= 17 and x in (8, 9)
        down = 6 <= y <= 17 and x in (14, 15)
        heads = (y == 7 and 6 <= x <= 11) or (y == 16 and 12 <= x <= 17)
        return up or down or heads
    if kind == "diamond":
        d = abs(x - 11.5) + abs(y - 11.5)
        return 4 <= d <= 7
    return False


def png(colour, kind):
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)  # filter: none
        for x in range(SIZE):
            if not inside_tile(x, y):
                rows += bytes((0, 0, 0, 0))
            elif glyph(kind, x, y):
                rows += bytes((255, 255, 255, 255))
            else:
                rows += bytes(colour) + b"\xff"

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def main(names):
    for name in names or ICONS:
        colour, kind = ICONS[name]
        print(name, base64.b64encode(png(colour, kind)).decode("ascii"))


if __name__ == "__main__":
    main(sys.argv[1:])
