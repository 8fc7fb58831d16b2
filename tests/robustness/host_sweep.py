#!/usr/bin/env python3
"""`kaito test` never calls a damaged self-extracting file good, and
`kaito extract` never writes damaged content.

A file made by kaito (it carries the integrity record) is cut at every
length over its archive part, plainly and with its trailer put back so that
the reader walks the cut archive, and damaged by seeded single-byte and
single-bit flips anywhere in its archive part.  For each case `kaito test`
runs; when it answers OK, `kaito extract` runs too and its tree must equal
the source byte for byte.  A case that `kaito extract` accepts although
`kaito test` refused it is a fault as well, unless test's only complaint is
the PE checksum and the extracted tree is the source: the damage then lies in
bytes no reader uses (a block's unused literal table entries or fill bits),
which only the checksum over the whole file sees.  Prints the figures by outcome
and exits 1 when any case ended in success with files that differ.
"""
import argparse
import collections
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corruption_sweep import make_source  # noqa: E402
from sweep_lib import read_tree  # noqa: E402


def run(kaito, *args):
    return subprocess.run([kaito, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE).returncode


def test_outcome(kaito, path):
    """(passed, refused only for the PE checksum)"""
    result = subprocess.run([kaito, "test", "-q", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return result.returncode == 0, b"PE checksum" in result.stderr


def locator_of(data):
    return int.from_bytes(data[-4:], "little")


def without_record(data):
    """The same file as an older kaito wrote it: no padding, no record, and
    no PE checksum (as a branded older file had)."""
    footer = len(data) - 4 - 24
    count = int.from_bytes(data[footer + 8:footer + 12], "little")
    padding = int.from_bytes(data[footer + 12:footer + 16], "little")
    entries_end = footer - 8 * count - padding
    old = bytearray(data[:entries_end] + data[-4:])
    checksum = int.from_bytes(old[0x3C:0x40], "little") + 24 + 64
    old[checksum:checksum + 4] = bytes(4)
    return bytes(old)


def make_cases(base, args):
    L, size = locator_of(base), len(base)
    trailer = base[-4:]
    cases = []
    cuts = range(L, size) if args.truncations == "all" else range(L, size, max(1, (size - L) // int(args.truncations)))
    for cut in cuts:
        cases.append(("cut", base[:cut]))
        if cut <= size - 4:
            cases.append(("cut+trailer", base[:cut] + trailer))
    r = random.Random(args.seed)
    for n in range(args.flips):
        offset = r.randrange(L, size)
        mask = r.randrange(1, 256) if n % 2 == 0 else 1 << r.randrange(8)
        data = bytearray(base)
        data[offset] ^= mask
        cases.append(("byte" if n % 2 == 0 else "bit", bytes(data)))
    return cases


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--kaito", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--truncations", default="all", help="'all', or about how many cut lengths")
    parser.add_argument("--flips", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=20261207)
    parser.add_argument("--without-record", action="store_true",
                        help="sweep the file as an older kaito wrote it, to show what the record prevents")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="kaito-host-sweep-")
    try:
        source = os.path.join(work, "source")
        make_source(source, "pkg")
        sfx = os.path.join(work, "good.exe")
        if run(args.kaito, "create", "-q", "--stub", args.stub, "-o", sfx, "-C", source, "pkg") != 0:
            print("host sweep: kaito create failed")
            return 1
        with open(sfx, "rb") as f:
            base = f.read()
        if args.without_record:
            base = without_record(base)
            with open(sfx, "wb") as f:
                f.write(base)
        expected = read_tree(source)
        if run(args.kaito, "test", "-q", sfx) != 0:
            print("host sweep: kaito test refuses the undamaged file")
            return 1

        counts = collections.Counter()
        faults = []
        case_file = os.path.join(work, "case.exe")
        out = os.path.join(work, "out")
        for kind, data in make_cases(base, args):
            with open(case_file, "wb") as f:
                f.write(data)
            shutil.rmtree(out, ignore_errors=True)
            tested, only_checksum = test_outcome(args.kaito, case_file)
            extracted = run(args.kaito, "extract", "-q", case_file, "-C", out) == 0
            same = extracted and read_tree(out) == expected
            if tested and same:
                counts[kind, "ok, files identical"] += 1
            elif only_checksum and same:
                counts[kind, "test: PE checksum only; extract: files identical"] += 1
            elif tested or extracted:
                counts[kind, "FAULT: success with differing files or test/extract disagree"] += 1
                faults.append(kind)
            else:
                counts[kind, "refused"] += 1
        for (kind, outcome), n in sorted(counts.items()):
            print("%-12s %-62s %6d" % (kind, outcome, n))
        print("host sweep: %d cases, %d faults (archive part %d bytes)"
              % (sum(counts.values()), len(faults), len(base) - locator_of(base)))
        return 1 if faults and not args.without_record else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
