# Shared by the command-line tests.  The kaito command is given as the test's
# arguments (an exec prefix such as "wine-run.sh kaito.exe" works the same),
# and every path handed to it is relative to a fresh work folder, so the same
# test runs natively and under Wine.
set -u
# Byte-wise matching: under Wine the listed names arrive in code page 932.
export LC_ALL=C
KAITO=("$@")
work="$(mktemp -d "${TMPDIR:-/tmp}/kaito-cli.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# run NAME EXPECTED_STATUS ARGS...: runs kaito, keeps stdout/stderr in NAME.out/.err.
run() {
  local name="$1" expected="$2"
  shift 2
  "${KAITO[@]}" "$@" >"$name.out" 2>"$name.err"
  local status=$?
  if [ "$expected" = "nonzero" ]; then
    [ "$status" -ne 0 ] || fail "$name: exit status 0, expected a failure"
  elif [ "$status" -ne "$expected" ]; then
    fail "$name: exit status $status, expected $expected; stderr: $(cat "$name.err")"
  fi
}

# expect_error NAME TEXT: exactly one line on stderr, containing TEXT.
expect_error() {
  local lines
  lines=$(wc -l <"$1.err")
  [ "$lines" -eq 1 ] || fail "$1: $lines lines on stderr, expected one: $(cat "$1.err")"
  grep -q -- "$2" "$1.err" || fail "$1: stderr lacks '$2': $(cat "$1.err")"
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
