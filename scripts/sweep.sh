#!/usr/bin/env bash
# The full corruption sweep of the real stub under Wine: a self-extracting
# file cut at every length over its archive part (plainly and with the
# trailer put back) and damaged by a few thousand seeded byte and bit flips,
# each case run with a time limit.  Runs in a private copy of the Wine prefix
# (made once in $build/robustness/wineprefix) so that all of its drive C can
# be watched for writes outside the destination.  Prints the figures at the
# end; exit status 1 when any case broke a rule.  Took an hour on two
# busy cores (5268 cases); --header-bits adds about ten minutes.
#   scripts/sweep.sh [--flips N] [--seed S] [--truncations all|none|N] [--header-bits]
#                    [--limit-ms MS]
# --header-bits adds every single-bit flip of the archive header and of each
# entry header (about 900 cases more).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}"
runner="$build/win32/tests/robustness/sweep_runner.exe"
for needed in "$build/bin/kaito" "$build/bin/kaito-stub.exe" "$runner"; do
  [ -f "$needed" ] || { echo "sweep: $needed is missing: run scripts/build.sh first" >&2; exit 1; }
done

source "$root/scripts/wine-env.sh"
source "$root/scripts/xvfb-env.sh"
kaito_start_xvfb
shared_prefix="$WINEPREFIX"
private_prefix="$build/robustness/wineprefix"

status=0
nice python3 "$root/tests/robustness/corruption_sweep.py" \
  --kaito "$build/bin/kaito" --stub "$build/bin/kaito-stub.exe" --runner "$runner" \
  --work "$build/robustness/sweep" --prefix "$shared_prefix" --private-prefix "$private_prefix" \
  --progress 10 "$@" || status=$?
# The private prefix's server and services were started for this sweep only.
WINEPREFIX="$private_prefix" wineserver -k >/dev/null 2>&1 || true
exit "$status"
