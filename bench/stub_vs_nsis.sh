#!/usr/bin/env bash
# The stub beside an NSIS installer under Wine, in one run:
#   - 300 small files (the first 300 of /usr/share/zoneinfo/right, 443 KB) and
#     one 60 MB file (Wine's Windows DLLs joined), each extracted by a kaito
#     automatic-mode file and installed by a silent NSIS installer
#     (SetCompressor zlib) built by makensis from the same files; every
#     timing is taken by bench/sfx_timer.exe inside Wine, several runs taking
#     turns; the best and the median runs are set against each other (the
#     best is the run least disturbed by other load);
#   - the processor time of the stub (its process and the prefix's
#     wineserver) for 10 s while its follow-up program runs, and for 10 s
#     while its overwrite question waits for an answer.
# Figures only: nothing here passes or fails.  Other load on the machine
# shows in every figure; the ratios come from runs side by side.
#   KAITO_BUILD_DIR   build folder (default build)
#   KAITO_BENCH_STUB  the stub to time (default <build>/bin/kaito-stub.exe)
#   KAITO_BENCH_RUNS  runs per timing (default 5)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}"
runs="${KAITO_BENCH_RUNS:-5}"
work="$build/bench-nsis"

# nsis for makensis, tzdata for the small files, libwine:i386 for the DLLs.
"$root/scripts/install-packages.sh" bench nsis tzdata libwine:i386
KAITO_BUILD_DIR="$build" "$root/scripts/build.sh" >/dev/null
cmake --build "$build/win32" --target sfx_timer >/dev/null
stub="${KAITO_BENCH_STUB:-$build/bin/kaito-stub.exe}"
kaito="$build/bin/kaito"
timer="$build/win32/bench/sfx_timer.exe"
probe_exe="$build/win32/tests/ui/window_probe.exe"
sleeper="$build/win32/tests/app/followup_recorder_gui.exe"

source "$root/scripts/wine-env.sh"
source "$root/scripts/xvfb-env.sh"
kaito_start_xvfb
# A server that outlives each program by a minute: no run pays its start.
wineserver -p60 >/dev/null 2>&1 || true
timeout 600 wine "$build/win32/tests/support/wine_warmup.exe" >/dev/null 2>&1 || true
temp="$WINEPREFIX/drive_c/users/$(whoami)/Temp"
temp_win="C:\\users\\$(whoami)\\Temp\\"
winpath() { local p="${1//\//\\}"; printf 'Z:%s' "$p"; }

# --- payloads and the programs that carry them --------------------------------
rm -rf "$work"
mkdir -p "$work/small/kaito-bench-small" "$work/large/kaito-bench-large"
(cd /usr/share/zoneinfo/right && find . -type f | LC_ALL=C sort | head -n 300 |
  xargs cp -p --parents -t "$work/small/kaito-bench-small")
# head ends cat early on purpose: the pipe's status is not looked at.
(set +o pipefail
 find /usr/lib/i386-linux-gnu/wine/i386-windows -name '*.dll' | LC_ALL=C sort | xargs cat 2>/dev/null |
   head -c 60000000 >"$work/large/kaito-bench-large/wine-dlls.bin")

make_nsis() {  # NAME FOLDER: a silent zlib installer of FOLDER into $TEMP\nsis-NAME
  cat >"$work/$1.nsi" <<EOF
Unicode true
Name "$1"
OutFile "$work/$1-nsis.exe"
SetCompressor zlib
SilentInstall silent
RequestExecutionLevel user
InstallDir "\$TEMP\\nsis-$1"
Section
  SetOutPath "\$INSTDIR"
  File /r "$2/*"
SectionEnd
EOF
  makensis -V1 "$work/$1.nsi" >/dev/null
}
for payload in small large; do
  "$kaito" create --quiet --stub "$stub" --auto -o "$work/$payload-kaito.exe" -C "$work/$payload" \
    "kaito-bench-$payload" >/dev/null
  make_nsis "$payload" "$work/$payload/kaito-bench-$payload"
done

# --- extraction time ------------------------------------------------------------
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
best() { sort -n | head -n 1; }
time_payload() {  # PAYLOAD: prints "kaito-best nsis-best kaito-median nsis-median" after the runs
  local payload="$1" i kaito_ms nsis_ms
  : >"$work/$payload-kaito.ms"
  : >"$work/$payload-nsis.ms"
  for i in $(seq 1 "$runs"); do
    rm -rf "$temp/kaito-bench-$payload" "$temp/nsis-$payload"
    kaito_ms="$(wine "$timer" until-box "$(winpath "$work/$payload-kaito.exe")" | tr -d '\r')"
    rm -rf "$temp/kaito-bench-$payload" "$temp/nsis-$payload"
    nsis_ms="$(wine "$timer" run "$(winpath "$work/$payload-nsis.exe")" | tr -d '\r')"
    echo "$kaito_ms" >>"$work/$payload-kaito.ms"
    echo "$nsis_ms" >>"$work/$payload-nsis.ms"
    echo "  run $i: kaito $kaito_ms ms, NSIS $nsis_ms ms" >&2
  done
  echo "$(best <"$work/$payload-kaito.ms") $(best <"$work/$payload-nsis.ms")" \
       "$(median <"$work/$payload-kaito.ms") $(median <"$work/$payload-nsis.ms")"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "kaito stub against NSIS under Wine, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$root" rev-parse --short HEAD)"
echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "stub: $stub ($(stat -c %s "$stub") bytes); $(makensis -VERSION) with SetCompressor zlib; $runs runs each"
echo
for payload in small large; do
  files="$(find "$work/$payload/kaito-bench-$payload" -type f | wc -l)"
  bytes="$(find "$work/$payload/kaito-bench-$payload" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')"
  echo "== $payload: $files files, $bytes bytes (kaito file $(stat -c %s "$work/$payload-kaito.exe"), NSIS installer $(stat -c %s "$work/$payload-nsis.exe") bytes)"
  read -r kaito_best nsis_best kaito_median nsis_median < <(time_payload "$payload")
  goal="at most 2"
  [ "$payload" = large ] && goal="at most 1"
  echo "best: kaito $kaito_best ms (start to completion message), NSIS $nsis_best ms (start to end):" \
    "kaito / NSIS = $(ratio "$kaito_best" "$nsis_best") (goal: $goal)"
  echo "median: kaito $kaito_median ms, NSIS $nsis_median ms: kaito / NSIS = $(ratio "$kaito_median" "$nsis_median")"
  echo
done

# --- processor time while the stub waits ----------------------------------------
clock_ticks="$(getconf CLK_TCK)"
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
server_pid() {  # the wineserver of this prefix: it works in a folder named after the prefix's device and inode
  local pid folder
  folder="server-$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))"
  for pid in $(pgrep -x 'wineserver(32)?'); do
    [ "$(basename "$(readlink "/proc/$pid/cwd")")" = "$folder" ] && { echo "$pid"; return; }
  done
}
program_pid() {  # the Linux process of the Wine program started from FILE
  local name pid
  name="$(basename "$1")"
  for _ in $(seq 1 200); do
    for pid in $(pgrep -f -- "$name"); do
      case "$(tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | head -n 1)" in
        *"\\$name" | *"/$name") echo "$pid"; return ;;
      esac
    done
    sleep 0.05
  done
}
wait_for_file() { for _ in $(seq 1 600); do [ -e "$1" ] && return; sleep 0.1; done; return 1; }
probe() { timeout 120 wine "$probe_exe" "$@" | tr -d '\r'; }
measure_cpu() {  # LABEL [STUB_PID]: processor time over 10 s, stub and wineserver
  local server t0 t1 s0=0 s1=0 w0 w1
  server="$(server_pid)"
  t0="$(date +%s.%N)"; w0="$(cpu_ticks "$server")"; [ -z "${2:-}" ] || s0="$(cpu_ticks "$2")"
  sleep 10
  t1="$(date +%s.%N)"; w1="$(cpu_ticks "$server")"; [ -z "${2:-}" ] || s1="$(cpu_ticks "$2")"
  awk -v label="$1" -v stub="${2:-}" -v s="$((s1 - s0))" -v w="$((w1 - w0))" -v t="$t0" -v u="$t1" \
      -v hz="$clock_ticks" 'BEGIN {
    d = u - t; ps = 100 * s / hz / d; pw = 100 * w / hz / d
    if (stub == "") { printf "%s: wineserver %.2f %% of one core over %.1f s\n", label, pw, d; exit }
    printf "%s: stub %.2f %%, wineserver %.2f %%, together %.2f %% of one core over %.1f s (goal: under 2 %%)\n",
           label, ps, pw, ps + pw, d }'
}

echo "== processor time while the stub waits"
measure_cpu "no program running (for reference)"

mkdir -p "$work/follow/kaito-bench-follow"
cp "$sleeper" "$work/follow/kaito-bench-follow/sleeper.exe"
"$kaito" create --quiet --stub "$stub" --auto --run 'kaito-bench-follow\sleeper.exe' --run-args --sleep=12000 \
  -o "$work/follow-kaito.exe" -C "$work/follow" kaito-bench-follow >/dev/null
rm -rf "$temp/kaito-bench-follow" "$temp/followup-record.txt"
wine "$work/follow-kaito.exe" &
wine_pid=$!
stub_pid="$(program_pid "$work/follow-kaito.exe")"
wait_for_file "$temp/followup-record.txt"  # written by the follow-up program as it starts
measure_cpu "follow-up program running" "$stub_pid"
wait "$wine_pid"

mkdir -p "$work/ask/kaito-bench-ask" "$temp/kaito-bench-ask"
echo new >"$work/ask/kaito-bench-ask/a.txt"
echo old >"$temp/kaito-bench-ask/a.txt"
"$kaito" create --quiet --stub "$stub" -o "$work/ask-kaito.exe" -C "$work/ask" kaito-bench-ask >/dev/null
wine "$work/ask-kaito.exe" &
wine_pid=$!
stub_pid="$(program_pid "$work/ask-kaito.exe")"
# Destination: the temporary folder, with the overwrite question switched on.
probe find-control 1004 60000 set-text 1002 "$temp_win" click 1003 click 1 wait-gone 10000 >/dev/null
probe find-control 1011 60000 >/dev/null
measure_cpu "overwrite question open" "$stub_pid"
probe find-control 1011 10000 click 1 wait-gone 10000 >/dev/null
probe find-control 65535 60000 click 1 >/dev/null  # the completion message
wait "$wine_pid"
