#!/usr/bin/env python3
"""Wraps the application icon into the icon file the Windows build compiles.

Usage: tools/make-windows-icon.py [RESOURCES_DIR] [OUTPUT]
(defaults: resources/ beside tools/, app/windows/app-icon.ico)

Reads 14/128-app-icon.png (drawn by tools/make-pictures.py) and writes an
.ico with that one picture as a PNG-compressed entry, the form Windows Vista
and later read. Rerunning the script gives the same bytes.
"""
import os
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("not a PNG file")
    return struct.unpack(">II", data[16:24])


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    resources = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources")
    output = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "app", "windows", "app-icon.ico")
    with open(os.path.join(resources, "14", "128-app-icon.png"), "rb") as source:
        png = source.read()
    width, height = png_size(png)
    if width > 256 or height > 256:
        raise SystemExit("an icon picture is at most 256 by 256 pixels")
    header = struct.pack("<HHH", 0, 1, 1)  # reserved, type icon, one image
    # Width and height 256 are written as 0; 32 bits per pixel; data follows
    # the 6-byte header and the one 16-byte directory entry.
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(png), 6 + 16)
    with open(output, "wb") as out:
        out.write(header + entry + png)


if __name__ == "__main__":
    main()
