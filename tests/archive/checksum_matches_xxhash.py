#!/usr/bin/python3
"""Checksum32 is XXH32 with seed 0, which files already carry: the build's
own code (run through the tool given, and the Win32 build under Wine when a
runner is given) must agree with Debian's python3-xxhash on every length from
0 to 300 bytes of seeded data, on unaligned starts, and on 1 MiB.
Usage: checksum_matches_xxhash.py [RUNNER] TOOL"""
import os
import random
import subprocess
import sys
import tempfile

try:
    import xxhash
except ImportError:
    print("python3-xxhash is missing (scripts/setup.sh installs it)")
    sys.exit(77)  # reported to CTest as a skip

command = sys.argv[1:]
if not command:
    raise SystemExit(__doc__)

failures = 0
generator = random.Random(20261207)
for size in (300, 1 << 20):
    data = generator.randbytes(size)
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(data)
    try:
        out = subprocess.run(command + [f.name], check=True, capture_output=True, text=True).stdout.split()
    finally:
        os.unlink(f.name)
    expected = [xxhash.xxh32(data[:n]).intdigest() for n in range(min(size, 300) + 1)]
    expected.append(xxhash.xxh32(data).intdigest())
    expected += [xxhash.xxh32(data[start:]).intdigest() for start in (1, 2, 3)]
    got = [int(v) for v in out]
    if got != expected:
        bad = [i for i, (a, b) in enumerate(zip(got, expected)) if a != b]
        print("size %d: %d values, %d expected; differing lines: %s" % (size, len(got), len(expected), bad[:5]))
        failures += 1
    else:
        print("size %d: %d values agree with xxhash.xxh32" % (size, len(expected)))
sys.exit(1 if failures else 0)
