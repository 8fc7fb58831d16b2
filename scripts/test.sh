#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both halves, then runs the
# native tests and the Win32 tests under Wine on a private Xvfb display.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}"

source "$root/scripts/setup-first.sh"
"$root/scripts/build.sh"

source "$root/scripts/wine-env.sh"
source "$root/scripts/xvfb-env.sh"
kaito_start_xvfb
# One wineserver for the whole run, ended with it: each Wine start is then
# quick, and no server is started midway by a test whose output is a pipe
# (the server would inherit the pipe and the test would wait on it).
wineserver -p >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true; kill "${kaito_xvfb_pid:-}" 2>/dev/null || true' EXIT
# Bring the prefix's desktop up before any test's clock runs.
warmup_start=$SECONDS
timeout 600 wine "$build/win32/tests/support/wine_warmup.exe" >/dev/null 2>&1 || echo "test: the Wine warm-up failed" >&2
echo "test: Wine desktop ready after $((SECONDS - warmup_start)) s"

cd "$build"
# Tests under Wine share one desktop and can stall while the machine is busy;
# a test that fails gets one more run, so only a repeated failure counts.
status=0
ctest -j "$(nproc 2>/dev/null || echo 2)" --output-on-failure --repeat until-pass:2 "$@" || status=$?
"$root/scripts/retried-tests.sh" "$build/Testing/Temporary/LastTest.log"

# The portable code once more under ASan and UBSan, in its own build
# ($build/sanitize); it runs even when the tests above failed.
"$root/scripts/sanitize.sh" "$@" || status=$?
exit "$status"
