#!/usr/bin/env bash
# scripts/retried-tests.sh names the tests that ctest ran twice: a small CTest
# project with a test that fails on its first run only, one that always
# passes and one that always fails runs under --repeat until-pass:2, as
# scripts/test.sh runs the suite.
#   retried_tests_test.sh ROOT CMAKE CTEST
set -euo pipefail
root="$1" cmake="$2" ctest="$3"
work="$(mktemp -d "${TMPDIR:-/tmp}/kaito-retried.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
cat >"$work/src/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(retried NONE)
enable_testing()
add_test(NAME fails_once COMMAND sh -c "if [ -e mark ]; then exit 0; fi; touch mark; exit 1")
add_test(NAME always_passes COMMAND true)
add_test(NAME always_fails COMMAND false)
CMAKE
"$cmake" -S "$work/src" -B "$work/build" >/dev/null
(cd "$work/build" && "$ctest" --repeat until-pass:2 >/dev/null 2>&1) && { echo "FAIL: always_fails passed"; exit 1; }
report="$("$root/scripts/retried-tests.sh" "$work/build/Testing/Temporary/LastTest.log")"
echo "$report"
failed=0
for name in fails_once always_fails; do
  grep -qx "  $name" <<<"$report" || { echo "FAIL: $name is not named"; failed=1; }
done
grep -q "always_passes" <<<"$report" && { echo "FAIL: always_passes is named"; failed=1; }
exit "$failed"
