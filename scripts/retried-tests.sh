#!/usr/bin/env bash
# Names every test that ran more than once in the ctest run whose log is
# given (ctest's LastTest.log): with --repeat until-pass a failed test runs
# again, and a pass on the second run must not hide the first failure.
#   retried-tests.sh build/Testing/Temporary/LastTest.log
set -euo pipefail
log="$1"
[ -f "$log" ] || { echo "test: no ctest log at $log" >&2; exit 0; }
# Every run of a test opens its section with a line "N/M Test: NAME".
retried=$(sed -n 's|^[0-9]*/[0-9]* Test: ||p' "$log" | sort | uniq -d)
if [ -z "$retried" ]; then
  echo "test: no test needed a second run"
else
  echo "test: these tests failed and ran a second time (see $log):"
  printf '  %s\n' $retried
fi
