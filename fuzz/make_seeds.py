#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the block fuzz targets and the damaged
blocks that must be refused.  Blocks are built here with a small bit writer
and a plain greedy matcher, not with the producer's encoder, so the seeds also
hold streams the encoder never makes (distance-1 runs, the longest and
farthest matches, permuted literal tables).  Deterministic: running it
again rewrites the same files (the stub's bytes come from build/bin).

usage: fuzz/make_seeds.py            (from anywhere)
"""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
MAGIC = b"QZC\x1a"
HEADER_SIZE = 268


class BitWriter:
    def __init__(self):
        self.bits = []

    def put(self, value, count):
        for i in range(count - 1, -1, -1):
            self.bits.append((value >> i) & 1)

    def number(self, v):
        k = 1
        while v + 2 >= (1 << (k + 1)):
            k += 1
        self.put((1 << (k - 1)) - 1, k - 1)  # k - 1 one-bits
        self.put(0, 1)
        self.put(v - ((1 << k) - 2), k)

    def literal(self, rank):
        self.number(rank)

    def match(self, distance, length):
        self.number(256 + distance)
        self.number(length - 3)

    def data(self):
        bits = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def block(decoded_size, stream, table=bytes(range(256))):
    return MAGIC + struct.pack("<II", decoded_size, len(stream)) + table + stream


def frequency_table(data):
    counts = [0] * 256
    for b in data:
        counts[b] += 1
    return bytes(sorted(range(256), key=lambda b: -counts[b]))


def encode(data, max_distance=8191, max_length=512):
    """Greedy matching over a hash of three bytes; returns a whole block."""
    table = frequency_table(data)
    rank = {b: i for i, b in enumerate(table)}
    writer = BitWriter()
    heads = {}
    i = 0
    while i < len(data):
        best_length, best_distance = 0, 0
        for start in reversed(heads.get(data[i:i + 3], [])[-16:]):
            distance = i - start
            if distance > max_distance:
                break
            length = 0
            while length < max_length and i + length < len(data) and data[start + length] == data[i + length]:
                length += 1
            if length > best_length:
                best_length, best_distance = length, distance
        step = best_length if best_length >= 3 else 1
        if step == 1:
            writer.literal(rank[data[i]])
        else:
            writer.match(best_distance, best_length)
        for j in range(i, i + step):
            heads.setdefault(data[j:j + 3], []).append(j)
        i += step
    return block(len(data), writer.data(), table)


def tokens(decoded_size, emit, table=bytes(range(256))):
    writer = BitWriter()
    emit(writer)
    return block(decoded_size, writer.data(), table)


def write(folder, name, data):
    path = os.path.join(HERE, folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def valid_blocks(rng):
    ab = bytes([ord("a"), ord("b")]) + bytes(range(254))
    yield "ababab-distance-2", block(6, bytes([0x1F, 0xE0, 0x44]), ab)
    # The worked example of docs/format.md: na-na-na-na-na-na-na-na! as our encoder writes it.
    ranked = b"an-!"
    table = ranked + bytes(b for b in range(256) if b not in ranked)
    yield "worked-example", tokens(24, lambda w: (w.literal(1), w.literal(0), w.literal(2), w.match(3, 20),
                                                  w.literal(3)), table)
    yield "abc-distance-3", tokens(10, lambda w: (w.literal(97), w.literal(98), w.literal(99), w.match(3, 7)))
    yield "x-run-distance-1", tokens(6, lambda w: (w.literal(120), w.match(1, 5)))
    yield "empty", block(0, b"")
    yield "longest-run", tokens(1 + 512 * 4, lambda w: (w.literal(0), [w.match(1, 512) for _ in range(4)]))
    yield "beyond-512", tokens(1 + 5000, lambda w: (w.literal(7), w.match(1, 5000)))
    far = bytes(rng.randrange(256) for _ in range(8191))
    yield "farthest-distance", encode(far + far[:300])
    yield "literals-9000", encode(bytes(rng.randrange(256) for _ in range(9000)))
    yield "all-bytes", encode(bytes(range(256)) * 3)
    permuted = list(range(256))
    rng.shuffle(permuted)
    yield "permuted-table", tokens(40, lambda w: [w.literal(r) for r in range(40)], bytes(permuted))
    for name, text in real_files():
        if name.endswith(".txt"):
            yield "file-" + name, encode(text[:6000])

def damaged_blocks():
    """Blocks whose header or stream breaks a rule; each must be refused."""
    yield "bad-magic", block(1, bytes([0x00])).replace(MAGIC, b"QZC\x1b", 1)
    yield "size-rule-short", block(1, bytes([0x00]))[:-1] + b""
    yield "size-rule-long", block(1, bytes([0x00])) + b"\x00"
    yield "shorter-than-header", block(1, bytes([0x00]))[:200]
    yield "magic-only", MAGIC
    # 268 + bitStreamSize wraps to the block's own size of 100 in 32 bits.
    yield "stream-size-wraps", (MAGIC + struct.pack("<II", 1, (1 << 32) - 168) + bytes(100))[:100]
    yield "match-before-start", tokens(5, lambda w: (w.literal(1), w.match(2, 4)))
    yield "distance-zero", tokens(5, lambda w: (w.literal(1), w.match(0, 4)))
    yield "match-at-start", tokens(3, lambda w: w.match(1, 3))
    yield "match-past-size", tokens(4, lambda w: (w.literal(1), w.match(1, 4)))
    yield "stream-ends-early", tokens(9, lambda w: [w.literal(3) for _ in range(4)])
    yield "prefix-of-ones", block(2, b"\xff" * 8)
    yield "length-overflows", tokens(6, lambda w: (w.literal(1), w.match(1, (1 << 31) + 5)))


def real_files():
    """Files of the repository that stay put: the sample package and the stub."""
    for name, path, limit in [("readme.txt", "sample/kaito-sample/readme.txt", None),
                              ("setsumeisho.txt", "sample/kaito-sample/docs/\u8aac\u660e\u66f8.txt", None),
                              ("words.txt", "sample/kaito-sample/data/words.txt", 16384),
                              ("kaito-stub.exe", "build/bin/kaito-stub.exe", 12288)]:
        full = os.path.join(ROOT, path)
        if os.path.exists(full):
            with open(full, "rb") as f:
                yield name, f.read()[:limit]


def roundtrip_inputs(rng):
    """Plain data for the encoder: real files and the shapes that stress a matcher."""
    yield from real_files()
    yield "empty", b""
    yield "one-byte", b"A"
    yield "zeros", bytes(3000)
    period = bytes(rng.randrange(256) for _ in range(8191))
    yield "period-8191", period + period[:2000]
    yield "random", bytes(rng.randrange(256) for _ in range(2000))


def stream_seed(flags, decoded_size, seed, whole_block):
    return bytes([flags]) + struct.pack("<H", decoded_size & 0xFFFF) + bytes([seed]) + whole_block[HEADER_SIZE:]


def main():
    rng = random.Random(7)
    for name, data in valid_blocks(rng):
        write("corpus/block_decoder", name + ".blk", data)
        write("corpus/block_stream", name + "-exact.bin", stream_seed(1, 0, 0, data))
        write("corpus/block_stream", name + "-declared.bin", stream_seed(0, struct.unpack_from("<I", data, 4)[0], 0, data))
        if len(data) > HEADER_SIZE + 8:
            cut = rng.randrange(HEADER_SIZE, len(data))
            write("corpus/block_decoder", name + "-truncated.blk", data[:cut])
            flipped = bytearray(data)
            position = rng.randrange(HEADER_SIZE, len(data))
            flipped[position] ^= 1 << rng.randrange(8)
            write("corpus/block_decoder", name + "-flipped.blk", bytes(flipped))
            write("corpus/block_stream", name + "-flipped.bin", stream_seed(3, 0, 5, bytes(flipped)))
    for name, data in roundtrip_inputs(rng):
        write("corpus/encoder_roundtrip", name, data)
    for name, data in damaged_blocks():
        write("rejected/block", name + ".blk", data)


if __name__ == "__main__":
    main()
