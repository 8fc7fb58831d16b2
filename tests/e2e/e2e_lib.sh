# Shared steps of the end-to-end cases: self-extracting files made by the
# host kaito, the stub run under Wine on a headless display, its windows read
# and driven by window_probe.  Sourced by each case; set by CTest:
#   KAITO (host CLI), STUB, PROBE (window_probe.exe), RECORDER (follow-up
#   stand-in), E2E_WORK (scratch folder).
set -euo pipefail
e2e_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$e2e_root/scripts/wine-env.sh"
source "$e2e_root/scripts/xvfb-env.sh"

readonly kStubTimeout=90   # seconds a stub run may take before it counts as hung
readonly kWindowWaitMs=30000

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A fresh scratch folder for one case, and a display if none is given.
e2e_begin() {
  case_name="$1"
  [ -x "$KAITO" ] || fail "no host kaito at $KAITO: build the native half first"
  work="$E2E_WORK/$case_name"
  rm -rf "$work" && mkdir -p "$work"
  # Several runs may share the Wine prefix and its window list: a token in
  # every file name keeps each run's captions apart.
  token="$case_name-$$"
  if [ -z "${DISPLAY:-}" ]; then kaito_start_xvfb; fi
  trap e2e_cleanup EXIT
  echo "== $case_name (display $DISPLAY, work $work)"
}

# A stub still running when a case ends (a step failed) is stopped, and so is
# the case's own display.
e2e_cleanup() {
  if [ -n "${stub_pid:-}" ]; then kill "$stub_pid" 2>/dev/null || true; fi
  if [ -n "${kaito_xvfb_pid:-}" ]; then kill "$kaito_xvfb_pid" 2>/dev/null || true; fi
}

# Z:\... path of a Linux path, as Wine names it.
winpath() {
  local p
  p="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
  printf 'Z:%s' "${p//\//\\}"
}

# A UTF-8 text as the probe's x:HEX argument (-v: od would fold repeated lines).
hex() { printf 'x:%s' "$(printf '%s' "$1" | od -v -An -tx1 | tr -d ' \n')"; }

# A tree with what real packages hold: nested folders, an empty file, text
# that compresses, bytes that don't, a Japanese name, time stamps to the
# 100-nanosecond unit the archive keeps.
make_input_tree() {
  local top="$1"
  mkdir -p "$top/data/deeper/deepest" "$top/docs"
  printf 'kaito end-to-end package\r\n' >"$top/readme.txt"
  : >"$top/data/empty.dat"
  for i in $(seq 1 4000); do echo "line $i: the quick brown fox jumps over the lazy dog"; done >"$top/data/words.txt"
  head -c 70000 /dev/urandom >"$top/data/deeper/noise.bin"
  printf 'x' >"$top/data/deeper/deepest/one.txt"
  printf '\xe8\xaa\xac\xe6\x98\x8e\n' >"$top/docs/説明書.txt"
  touch -d '2001-02-03 04:05:06.1234567 UTC' "$top/readme.txt"
  touch -d '1999-12-31 23:59:59 UTC' "$top/data/empty.dat"
  touch -d '2024-06-30 12:00:00.5 UTC' "$top/data/words.txt"
  touch -d '2010-01-01 00:00:01 UTC' "$top/data/deeper/noise.bin"
  touch -d '1985-10-26 01:21:00 UTC' "$top/data/deeper/deepest/one.txt"
  touch -d '2038-01-19 03:14:08 UTC' "$top/docs/説明書.txt"
}

# A file that kaito create --run takes for a Windows program (MZ, the PE
# signature, an executable's file header) with nothing behind those bytes,
# so that the system cannot start it (error 193).
write_broken_program() {
  { printf 'MZ'; head -c 58 /dev/zero; printf '\x40\x00\x00\x00PE\x00\x00\x4c\x01'; head -c 16 /dev/zero
    printf '\x02\x01'; } >"$1"
}

# kaito create with the stub under test; the remaining arguments go to it.
make_sfx() {
  "$KAITO" create --quiet --stub "$STUB" "$@"
}

# Starts a self-extracting file under Wine in the background.
start_stub() {
  timeout "$kStubTimeout" wine "$@" &
  stub_pid=$!
}

# Waits for the stub and insists on an exit code.  Wine hands on only its low
# 8 bits (1602 arrives as 66); e2e_exit_codes.sh reads whole ones.
expect_stub_exit() {
  local rc=0
  wait "$stub_pid" || rc=$?
  stub_pid=""
  [ "$rc" -ne 124 ] || fail "the stub did not end within ${kStubTimeout}s (a window left open?)"
  [ "$rc" -eq $(($1 & 255)) ] || fail "the stub ended with exit code $rc, not $1 (low 8 bits $(($1 & 255)))"
}
expect_stub_exit_0() { expect_stub_exit 0; }

# Whether the stub is still running.
stub_running() { kill -0 "$stub_pid" 2>/dev/null; }

# window_probe COMMANDS...; prints what the reads print.  Enumerating
# windows can stall while another Wine process starts, so a first "find" that
# comes back empty-handed is tried again; nothing has been done to a window
# by then.
probe() {
  local attempt rc errors="$work/probe-errors.txt"
  for attempt in 1 2 3; do
    rc=0
    timeout 120 wine "$PROBE" "$@" 2>"$errors" | tr -d '\r' || rc=$?
    [ "$rc" -eq 0 ] && return 0
    if [ "$1" != find ] || ! grep -q 'no window for find' "$errors" || ! stub_running; then break; fi
    echo "window_probe: retrying the search for a window (attempt $attempt)" >&2
  done
  cat "$errors" >&2
  return "$rc"
}

# Fails unless two values are equal.
expect_eq() {
  [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"
}

screenshot() {
  sleep 0.5  # let the window finish painting
  import -window root "$work/$1.png" 2>/dev/null || true
}

# Files, contents and last-write times of two trees must be the same; a file
# time counts to the archive's 100-nanosecond unit.
expect_same_tree() {
  python3 - "$1" "$2" <<'PY'
import os, sys
def walk(root):
    found = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root)
            st = os.stat(path)
            if os.path.isdir(path):
                found[rel] = ("dir",)
            else:
                with open(path, "rb") as f:
                    found[rel] = ("file", f.read(), st.st_mtime_ns // 100)
    return found
want, got = walk(sys.argv[1]), walk(sys.argv[2])
problems = []
for rel in sorted(set(want) | set(got)):
    if rel not in got: problems.append("missing: " + rel)
    elif rel not in want: problems.append("extra: " + rel)
    elif want[rel][:2] != got[rel][:2]: problems.append("content differs: " + rel)
    elif want[rel] != got[rel]: problems.append("time differs: %s (%d != %d)" % (rel, got[rel][2], want[rel][2]))
for p in problems: print(p, file=sys.stderr)
print("compared %d files and folders" % len(want))
sys.exit(1 if problems else 0)
PY
}

# The Wine user's temporary folder, where automatic mode extracts.
wine_temp_dir() { printf '%s/drive_c/users/%s/Temp' "$WINEPREFIX" "$(id -un)"; }

# What the destination dialog says of a required size: MiB to two decimals,
# rounded half up as MulDiv rounds.
size_line() {
  python3 -c 'import sys; n=int(sys.argv[1]); h=(n*100*2+1048576)//(2*1048576); print("（約%d.%02dＭＢの空き容量が必要です）" % (h//100, h%100))' "$1"
}

# Texts the stub shows (UTF-8 here; Shift-JIS inside the stub).
readonly kCompletionText="ファイルの解凍を完了しました"
readonly kDamagedText="解凍データが壊れています。"
readonly kCorruptAlert='自己解凍ファイルのデータが壊れています。\n解凍処理を中断します'
caption_of_alerts() { printf '%sの解凍' "$1"; }
caption_of_destination() { printf 'ファイルの解凍 [%s]' "$1"; }
