#!/usr/bin/env bash
# Builds the portable code, the host kaito and their native tests with ASan and
# UBSan in <build>/sanitize (no Win32 half) and runs those tests, the fuzz
# replays included.  scripts/test.sh runs it after the ordinary tests; extra
# arguments go to ctest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
main_build="${KAITO_BUILD_DIR:-$root/build}"
build="$main_build/sanitize"
jobs="$(nproc 2>/dev/null || echo 2)"

# This build has no Win32 half; its kaito embeds the stub of the main build.
stub="$main_build/bin/kaito-stub.exe"
if [ ! -f "$stub" ]; then
  echo "sanitize: $stub is missing; build the main tree first (scripts/build.sh)" >&2
  exit 1
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKAITO_WITH_WIN32=OFF -DKAITO_SANITIZE=ON -DKAITO_STUB_FILE="$stub" >/dev/null
cmake --build "$build" -j "$jobs"

# Any report stops the program with a failure status, so its test fails.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$build"
ctest -j "$jobs" --output-on-failure "$@"
