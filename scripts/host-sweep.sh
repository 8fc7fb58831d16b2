#!/usr/bin/env bash
# The full host sweep: kaito test and extract on a kaito-made file cut at
# every length of its archive part (plainly and with the trailer put back) and
# damaged by seeded byte and bit flips.  Counts the cases by outcome; exit
# status 1 when any damaged file was taken as good with other content.
#   scripts/host-sweep.sh [--flips N] [--seed S] [--without-record]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}"
for needed in "$build/bin/kaito" "$build/bin/kaito-stub.exe"; do
  [ -f "$needed" ] || { echo "host-sweep: $needed is missing: run scripts/build.sh first" >&2; exit 1; }
done
exec nice python3 "$root/tests/robustness/host_sweep.py" --kaito "$build/bin/kaito" \
  --stub "$build/bin/kaito-stub.exe" --truncations all "$@"
