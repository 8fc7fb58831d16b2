#!/usr/bin/env bash
# Builds the portable code, the host kaito and their native tests with ASan and
# UBSan in <build>/sanitize (no Win32 half) and runs those tests, the fuzz
# replays included.  scripts/test.sh runs it after the ordinary tests; extra
# arguments go to ctest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}/sanitize"
jobs="$(nproc 2>/dev/null || echo 2)"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKAITO_WITH_WIN32=OFF -DKAITO_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$jobs"

# Any report stops the program with a failure status, so its test fails.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$build"
ctest -j "$jobs" --output-on-failure "$@"
