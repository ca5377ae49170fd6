#!/usr/bin/env python3
"""Draws the pictures of the page and the application icon as PNG files.

Usage: tools/make-pictures.py [RESOURCES_DIR [ICONS_DIR]]
       (defaults: resources/ and packaging/icons/ beside tools/)

Writes PNG/135-logo.png (39x64), PNG/136-tick.png, PNG/137-warning.png,
PNG/138-product.png (32x32 each) and 14/128-app-icon.png (48x48, the window
icon) into RESOURCES_DIR, and the window icon in the sizes of the desktop's
icon theme (ICONS_DIR/<N>x<N>.png, installed as the application's icon). The pictures are plain vector shapes rasterised with 4x4
supersampling, so rerunning the script gives the same bytes.
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 4  # supersampling per axis


def png_bytes(width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a) tuples, 0..255."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter type None
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def hex_colour(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


# Shapes: functions (x, y) -> bool, in pixel coordinates (0,0 = top left corner).
def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, outer, inner):
    return lambda x, y: inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 <= outer * outer


def rounded_rect(left, top, right, bottom, radius):
    def inside(x, y):
        if not (left <= x <= right and top <= y <= bottom):
            return False
        cx = min(max(x, left + radius), right - radius)
        cy = min(max(y, top + radius), bottom - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def stroke(points, width):
    """A polyline of the given width with round joins and ends."""
    half = width / 2.0

    def near_segment(x, y, a, b):
        (ax, ay), (bx, by) = a, b
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return math.hypot(x - px, y - py) <= half
    return lambda x, y: any(near_segment(x, y, points[i], points[i + 1])
                            for i in range(len(points) - 1))


def render(width, height, layers):
    """layers: list of (shape, colour '#rrggbb'), painted in order."""
    pixels = []
    for py in range(height):
        row = []
        for px in range(width):
            r = g = b = a = 0.0  # premultiplied
            for shape, colour in layers:
                cover = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        if shape(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES):
                            cover += 1
                if not cover:
                    continue
                alpha = cover / (SAMPLES * SAMPLES)
                cr, cg, cb = hex_colour(colour)
                r = cr * alpha + r * (1 - alpha)
                g = cg * alpha + g * (1 - alpha)
                b = cb * alpha + b * (1 - alpha)
                a = alpha + a * (1 - alpha)
            if a > 0:
                row.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return png_bytes(width, height, pixels)


ORANGE = "#D9541E"
WHITE = "#FFFFFF"


def logo():
    # A hanging tab in the maker's orange with a white ring and a notch cut
    # out of its lower edge, 39 by 64 pixels.
    tab = polygon([(1, 0), (38, 0), (38, 63), (19.5, 52), (1, 63)])
    return render(39, 64, [
        (tab, ORANGE),
        (ring(19.5, 24, 11.5, 6.5), WHITE),
        (rounded_rect(17.5, 6, 21.5, 14, 1), ORANGE),
    ])


def product(size):
    # The logo's ring on a rounded orange square: the generic product picture.
    s = size / 32.0
    return render(size, size, [
        (rounded_rect(1 * s, 1 * s, 31 * s, 31 * s, 6 * s), ORANGE),
        (ring(16 * s, 16 * s, 10 * s, 5.5 * s), WHITE),
        (rounded_rect(14.2 * s, 4 * s, 17.8 * s, 10 * s, 0.8 * s), ORANGE),
    ])


def tick():
    return render(32, 32, [
        (circle(16, 16, 15), "#2E9E3E"),
        (stroke([(8.5, 16.5), (13.5, 21.5), (23.5, 10.5)], 4.0), WHITE),
    ])


def warning():
    return render(32, 32, [
        (polygon([(16, 1.5), (31, 29.5), (1, 29.5)]), "#B58900"),
        (polygon([(16, 4.5), (28.5, 28), (3.5, 28)]), "#FFD42A"),
        (stroke([(16, 11), (16, 19.5)], 3.4), "#222222"),
        (circle(16, 24.2, 1.9), "#222222"),
    ])


# The sizes of the desktop icon theme the package installs the icon in.
ICON_THEME_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    resources = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    outputs = {
        "PNG/135-logo.png": logo(),
        "PNG/136-tick.png": tick(),
        "PNG/137-warning.png": warning(),
        "PNG/138-product.png": product(32),
        "14/128-app-icon.png": product(48),
    }
    icons = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "packaging", "icons")
    targets = {os.path.join(resources, name): data for name, data in outputs.items()}
    for size in ICON_THEME_SIZES:
        targets[os.path.join(icons, "%dx%d.png" % (size, size))] = product(size)
    for path, data in targets.items():
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        print(path)


if __name__ == "__main__":
    main()
