#!/usr/bin/env python3
"""Writes a test .ico with three images of known solid colours: 16x16 red and
32x32 green as 32-bit bitmaps, 48x48 blue as a PNG.  Tests compare what
Windows programs load and what a PE reader finds against these.

    make_test_icon.py OUT.ico
"""
import struct
import sys
import zlib

# side, (blue, green, red), stored as PNG
IMAGES = [(16, (0, 0, 255), False), (32, (0, 255, 0), False), (48, (255, 0, 0), True)]


def bitmap(side, bgr):
    """A 32-bit icon bitmap: header (height counts colour and mask rows), pixels bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytes([bgr[0], bgr[1], bgr[2], 255]) * (side * side)
    mask_row = (side + 31) // 32 * 4
    return header + pixels + bytes(mask_row * side)


def png(side, bgr):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    row = b"\x00" + bytes([bgr[2], bgr[1], bgr[0], 255]) * side
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(row * side)) + chunk(b"IEND", b""))


def icon_images():
    """(width, bit count, bytes) of each image, in file order."""
    return [(side, 32, png(side, bgr) if as_png else bitmap(side, bgr)) for side, bgr, as_png in IMAGES]


def ico_file():
    images = icon_images()
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, bits, data in images:
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(ico_file())
