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

# True when the command is kaito.exe under Wine, which shows Linux names with
# ':' or control characters to it as other characters.
under_wine() { [[ "${KAITO[0]}" == *wine-run.sh ]]; }

# make_program FILE: the head of a Windows program (MZ, PE signature, an
# executable image's file header): what create looks at to accept a --run.
make_program() {
  { printf 'MZ'; head -c 58 /dev/zero; printf '\x40\x00\x00\x00PE\x00\x00\x4c\x01'; head -c 16 /dev/zero
    printf '\x02\x01'; } >"$1"
}

# as_older_kaito IN OUT: IN as an older kaito wrote it: the integrity record
# and its padding cut out, the trailer kept, no PE checksum.
as_older_kaito() {
  local size footer count padding pe
  size=$(wc -c <"$1")
  footer=$((size - 4 - 24))
  count=$(od -An -tu4 -j $((footer + 8)) -N4 "$1" | tr -d ' ')
  padding=$(od -An -tu4 -j $((footer + 12)) -N4 "$1" | tr -d ' ')
  { head -c $((footer - 8 * count - padding)) "$1"; tail -c 4 "$1"; } >"$2"
  pe=$(od -An -tu4 -j 60 -N4 "$2" | tr -d ' ')
  printf '\0\0\0\0' | dd of="$2" bs=1 seek=$((pe + 88)) conv=notrunc status=none
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
