#!/usr/bin/env bash
# The stub beside an NSIS installer under Wine, in one run:
#   - 300 small files (the first 300 of /usr/share/zoneinfo/right, 443 KB) and
#     one 60 MB file (Wine's Windows DLLs joined), each extracted by a kaito
#     automatic-mode file and installed by an NSIS installer (SetCompressor
#     zlib) built by makensis from the same files, in two ways:
#       shown:  kaito with its progress dialog, up to its completion message,
#               against NSIS showing its progress page (Page instfiles,
#               AutoCloseWindow true), and against NSIS run with /S;
#       silent: kaito /S against NSIS /S, both starting a small follow-up
#               program after the files and waiting for it, as an installer
#               wrapper does (kaito --run, NSIS ExecWait);
#     every timing is taken by bench/sfx_timer.exe inside Wine, several runs
#     taking turns; the best and the median runs are set against each other
#     (the best is the run least disturbed by other load);
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

# NAME FOLDER [FOLLOW-UP]: a zlib installer of FOLDER into $TEMP\nsis-NAME that
# shows its progress page and closes it when done (silent with /S), and with
# FOLLOW-UP (a file in FOLDER) starts that program at the end and waits for it.
make_nsis() {
  local exec=""
  [ -z "${3:-}" ] || exec="ExecWait '\"\$INSTDIR\\$3\"'"
  cat >"$work/$1.nsi" <<EOF
Unicode true
Name "$1"
OutFile "$work/$1-nsis.exe"
SetCompressor zlib
RequestExecutionLevel user
AutoCloseWindow true
InstallDir "\$TEMP\\nsis-$1"
Page instfiles
Section
  SetOutPath "\$INSTDIR"
  File /r "$2/*"
  $exec
SectionEnd
EOF
  makensis -V1 "$work/$1.nsi" >/dev/null
}
for payload in small large; do
  folder="$work/$payload/kaito-bench-$payload"
  "$kaito" create --quiet --stub "$stub" --auto -o "$work/$payload-kaito.exe" -C "$work/$payload" \
    "kaito-bench-$payload" >/dev/null
  make_nsis "$payload" "$folder"
  # The same files and a follow-up program that ends at once, for the silent runs.
  mkdir -p "$work/$payload-follow"
  cp -a "$folder" "$work/$payload-follow/kaito-bench-$payload-follow"
  cp "$sleeper" "$work/$payload-follow/kaito-bench-$payload-follow/follow.exe"
  "$kaito" create --quiet --stub "$stub" --auto --run "kaito-bench-$payload-follow/follow.exe" \
    -o "$work/$payload-follow-kaito.exe" -C "$work/$payload-follow" "kaito-bench-$payload-follow" >/dev/null
  make_nsis "$payload-follow" "$work/$payload-follow/kaito-bench-$payload-follow" follow.exe
done

# --- extraction time ------------------------------------------------------------
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
best() { sort -n | head -n 1; }
clean() { rm -rf "$temp"/kaito-bench-* "$temp"/nsis-*; }
# PAYLOAD: the runs of one payload, the programs taking turns in each run;
# then one line per program: "NAME best median".
time_payload() {
  local payload="$1" i name ms line
  local -A how=(
    [kaito-shown]="until-box $(winpath "$work/$payload-kaito.exe")"
    [nsis-shown]="run $(winpath "$work/$payload-nsis.exe")"
    [nsis-silent]="run $(winpath "$work/$payload-nsis.exe") /S"
    [kaito-silent]="run $(winpath "$work/$payload-follow-kaito.exe") /S"
    [nsis-silent-follow]="run $(winpath "$work/$payload-follow-nsis.exe") /S"
  )
  local order=(kaito-shown nsis-shown nsis-silent kaito-silent nsis-silent-follow)
  for name in "${order[@]}"; do : >"$work/$payload-$name.ms"; done
  for i in $(seq 1 "$runs"); do
    line="  run $i:"
    for name in "${order[@]}"; do
      clean
      # The words of a timing are meant to split.  A run that fails is told
      # and left out of the figures.
      if ms="$(wine "$timer" ${how[$name]} 2>&1 | tr -d '\r')" && [[ "$ms" =~ ^[0-9.]+$ ]]; then
        echo "$ms" >>"$work/$payload-$name.ms"
      else
        ms="failed ($ms)"
      fi
      line+=" $name $ms,"
    done
    echo "${line%,} ms" >&2
  done
  clean
  for name in "${order[@]}"; do
    echo "$name $(best <"$work/$payload-$name.ms") $(median <"$work/$payload-$name.ms")"
  done
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "") print "n/a"; else printf "%.2f", a / b }'; }

echo "kaito stub against NSIS under Wine, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$root" rev-parse --short HEAD)"
echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "stub: $stub ($(stat -c %s "$stub") bytes); $(makensis -VERSION) with SetCompressor zlib; $runs runs each"
echo
for payload in small large; do
  files="$(find "$work/$payload/kaito-bench-$payload" -type f | wc -l)"
  bytes="$(find "$work/$payload/kaito-bench-$payload" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')"
  echo "== $payload: $files files, $bytes bytes (kaito file $(stat -c %s "$work/$payload-kaito.exe"), NSIS installer $(stat -c %s "$work/$payload-nsis.exe") bytes)"
  declare -A best_of=() median_of=()
  while read -r name b m; do best_of[$name]=$b; median_of[$name]=$m; done < <(time_payload "$payload")
  shown_goal="at most 2"
  [ "$payload" = large ] && shown_goal="at most 1"
  for pair in "kaito-shown nsis-shown shown, NSIS showing its progress page" \
              "kaito-shown nsis-silent shown, NSIS /S (goal: $shown_goal)" \
              "kaito-silent nsis-silent-follow both /S, each waiting for a follow-up program (goal: at most 1)"; do
    read -r ours theirs what <<<"$pair"
    echo "$what: best kaito ${best_of[$ours]:-} ms, NSIS ${best_of[$theirs]:-} ms," \
      "kaito / NSIS = $(ratio "${best_of[$ours]:-}" "${best_of[$theirs]:-}");" \
      "median ${median_of[$ours]:-} / ${median_of[$theirs]:-} ms = $(ratio "${median_of[$ours]:-}" "${median_of[$theirs]:-}")"
  done
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
