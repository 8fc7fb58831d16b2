#!/usr/bin/env bash
# `kaito create` as a whole process, at every level, beside the kaito of an
# earlier commit ("before"): prints a table of the data's size, the speed
# (input bytes over the wall-clock time of the whole command) and the peak
# resident memory (/usr/bin/time), then the same for one 60 MB file, with the
# 32-bit kaito.exe under Wine too.  The two kaito take turns, RUNS runs each;
# the fastest run counts.
#   bench/create_runs.sh KAITO BEFORE_KAITO KAITO_EXE CORPUS LARGE_FILE WORK RUNS
# CORPUS holds one folder per class; all but random/ are packed together.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kaito="$(realpath "$1")"
before="$(realpath "$2")"
kaito_exe="$(realpath "$3")"
corpus="$(realpath "$4")"
large="$(realpath "$5")"
mkdir -p "$6"
work="$(realpath "$6")"
runs="$7"

classes=()
for folder in "$corpus"/*/; do
  [ "$(basename "$folder")" = random ] || classes+=("$(basename "$folder")")
done
input_bytes="$(cd "$corpus" && find "${classes[@]}" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')"

packed_bytes() {  # FILE: the entries' stored bytes
  "$kaito" list --json "$1" | python3 -c 'import json, sys; print(json.load(sys.stdin)["packedSize"])'
}

# One timed run; prints "seconds peak-KiB packed-bytes".
run_create() {  # KAITO-COMMAND... -- ARGUMENTS...
  local out="$work/out.exe" times="$work/times"
  rm -f "$out"
  /usr/bin/time -f "%e %M" -o "$times" "$@" -o "$out" >/dev/null 2>&1
  echo "$(cat "$times") $(packed_bytes "$out")"
}

# The fastest of RUNS runs, the two commands taking turns; prints both results.
fastest_pair() {  # "COMMAND A" "COMMAND B" ARGUMENTS...
  local a="$1" b="$2" i best_a="" best_b="" result
  shift 2
  for i in $(seq 1 "$runs"); do
    result="$(run_create $a "$@")"
    if [ -z "$best_a" ] || awk -v x="$result" -v y="$best_a" 'BEGIN { split(x, p); split(y, q); exit !(p[1] < q[1]) }'; then best_a="$result"; fi
    result="$(run_create $b "$@")"
    if [ -z "$best_b" ] || awk -v x="$result" -v y="$best_b" 'BEGIN { split(x, p); split(y, q); exit !(p[1] < q[1]) }'; then best_b="$result"; fi
  done
  echo "$best_a $best_b"
}

row() {  # LABEL BYTES A-RESULT... B-RESULT...: one table row
  awk -v label="$1" -v bytes="$2" -v as="$3" -v am="$4" -v ap="$5" -v bs="$6" -v bm="$7" -v bp="$8" 'BEGIN {
    printf "| %s | %.2f | %.1f | %d | %.2f | %.1f | %d | %+.1f %% |\n", label,
      100 * ap / bytes, bytes / as / 1e6, am, 100 * bp / bytes, bytes / bs / 1e6, bm, 100 * (ap / bp - 1) }'
}

echo "kaito create -q --level N on ${classes[*]} ($input_bytes bytes), fastest of $runs runs; before: $before"
echo
echo "| level | data % | MB/s | peak KiB | before: data % | MB/s | peak KiB | data vs before |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for level in 1 2 3 4 5 6 7 8 9; do
  read -r as am ap bs bm bp < <(fastest_pair "$kaito create -q --level $level" "$before create -q --level $level" \
                                  -C "$corpus" "${classes[@]}")
  row "-$level" "$input_bytes" "$as" "$am" "$ap" "$bs" "$bm" "$bp"
done

large_bytes="$(stat -c %s "$large")"
echo
echo "One file of $large_bytes bytes ($(basename "$large"); gzip -9: $(gzip -9 -c "$large" | wc -c) bytes), $runs runs:"
echo
echo "| level | data % | MB/s | peak KiB | before: data % | MB/s | peak KiB | data vs before |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for level in 6 9; do
  read -r as am ap bs bm bp < <(fastest_pair "$kaito create -q --level $level" "$before create -q --level $level" "$large")
  row "-$level" "$large_bytes" "$as" "$am" "$ap" "$bs" "$bm" "$bp"
done
# kaito.exe, 32 bits under Wine: one run (the peak is Wine's process).
read -r seconds peak packed < <(cd "$(dirname "$large")" &&
  run_create "$root/scripts/wine-run.sh" "$kaito_exe" create -q --level 9 "$(basename "$large")")
awk -v s="$seconds" -v m="$peak" -v p="$packed" -v bytes="$large_bytes" 'BEGIN {
  printf "\nkaito.exe (i686, under Wine) create --level 9: %.2f %% in %.1f s (%.1f MB/s), peak %d KiB\n",
    100 * p / bytes, s, bytes / s / 1e6, m }'
