#!/usr/bin/env python3
"""Draws the program icon (a parcel opening with an arrow out of it) as a
16-colour .ico holding a 32x32 and a 16x16 image.  Run once; the .ico is
committed and the resource script includes it."""
import struct
import sys

# The standard 16-colour palette (BGR0 on disk).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
T, K, BROWN, LGRAY, GRAY, YELLOW, BLUE, WHITE, NAVY = None, 0, 3, 7, 8, 11, 12, 15, 4

# 32x32 drawing: '.' transparent; letters map to palette indices.
ART32 = """
................................
................................
..............BBBB..............
.............BBBBBB.............
............BBBBBBBB............
...........BBBBBBBBBB...........
..........BBBBBBBBBBBB..........
.........BBBBBBBBBBBBBB.........
.............BBBBBB.............
.............BBBBBB.............
.............BBBBBB.............
.....KKKKKKKKBBBBBBKKKKKKKK.....
....KYYYYYYYKBBBBBBKYYYYYYYK....
...KYYYYYYYYKBBBBBBKYYYYYYYYK...
..KKKKKKKKKKKKKKKKKKKKKKKKKKKK..
..KOOOOOOOOOOOOOOOOOOOOOOOOOOK..
..KOYYYYYYYYYYYYYYYYYYYYYYYYOK..
..KOYYYYYYYYYYYYYYYYYYYYYYYYOK..
..KOYYYYYYYYYKKKKKKYYYYYYYYYOK..
..KOYYYYYYYYYKWWWWKYYYYYYYYYOK..
..KOYYYYYYYYYKKKKKKYYYYYYYYYOK..
..KOYYYYYYYYYYYYYYYYYYYYYYYYOK..
..KOYYYYYYYYYYYYYYYYYYYYYYYYOK..
..KOYYYYYYYYYYYYYYYYYYYYYYYYOK..
..KOYYYYYYYYYYYYYYYYYYYYYYYYOK..
..KOYYYYYYYYYYYYYYYYYYYYYYYYOK..
..KOYYYYYYYYYYYYYYYYYYYYYYYYOK..
..KOOOOOOOOOOOOOOOOOOOOOOOOOOK..
..KKKKKKKKKKKKKKKKKKKKKKKKKKKK..
................................
................................
................................
"""

ART16 = """
.......BB.......
......BBBB......
.....BBBBBB.....
.......BB.......
..KKKKKBBKKKKK..
.KYYYYKBBKYYYYK.
KKKKKKKKKKKKKKKK
KOOOOOOOOOOOOOOK
KOYYYYYYYYYYYYOK
KOYYYYKKKKYYYYOK
KOYYYYKWWKYYYYOK
KOYYYYKKKKYYYYOK
KOYYYYYYYYYYYYOK
KOOOOOOOOOOOOOOK
KKKKKKKKKKKKKKKK
................
"""

COLOURS = {'K': K, 'Y': YELLOW, 'O': BROWN, 'B': BLUE, 'W': WHITE, 'G': GRAY, 'L': LGRAY}


def image(art, size):
    rows = [r for r in art.strip('\n').split('\n')]
    assert len(rows) == size and all(len(r) == size for r in rows), "bad art"
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor = bytearray()
    and_mask = bytearray()
    and_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for x in range(0, size, 2):
            hi = COLOURS.get(row[x], 0)
            lo = COLOURS.get(row[x + 1], 0)
            line.append((hi << 4) | lo)
        while len(line) % 4:
            line.append(0)
        xor += line
        bits = bytearray(and_stride)
        for x, ch in enumerate(row):
            if ch == '.':
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits
    return header + palette + bytes(xor) + bytes(and_mask)


def main(out_path):
    images = [(32, image(ART32, 32)), (16, image(ART16, 16))]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        data += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    data += b''.join(blob for _, blob in images)
    with open(out_path, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'kaito.ico')
