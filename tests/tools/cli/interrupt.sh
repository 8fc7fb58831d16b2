#!/usr/bin/env bash
# An interrupted create or extract (SIGINT, SIGTERM, SIGHUP) leaves no
# temporary or truncated file behind and ends with 128 + the signal number;
# a later run is not disturbed by anything the interrupted one left.
# The signal is raised inside kaito right after its first write to the file
# under test (signal_on_write.so, preloaded), so it always lands mid-file.
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"
shim="${KAITO_SIGNAL_SHIM:?KAITO_SIGNAL_SHIM names signal_on_write.so}"
# A sanitizer runtime need not come first when the shim is preloaded.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

# interrupted NAME SIGNAL PATH_PART EXPECTED_STATUS ARGS...: runs kaito with the shim.
interrupted() {
  local name="$1" signal="$2" part="$3" expected="$4"
  shift 4
  KAITO_SIGNAL="$signal" KAITO_SIGNAL_PATH="$part" LD_PRELOAD="$shim" "${KAITO[@]}" "$@" >"$name.out" 2>"$name.err"
  local status=$?
  [ "$status" -eq "$expected" ] || fail "$name: exit status $status, expected $expected"
}

mkdir -p src/pkg
head -c 3000000 /dev/urandom >src/pkg/big.bin
for i in $(seq 1 2000); do echo "line $i"; done >src/pkg/a.txt

for pair in 2:130 15:143 1:129; do
  signal=${pair%%:*} status=${pair##*:}
  interrupted "create$signal" "$signal" out.exe "$status" create -o out.exe --quiet src/pkg
  [ -e out.exe.kaito-partial ] && fail "create$signal: out.exe.kaito-partial left behind"
  [ -e out.exe ] && fail "create$signal: out.exe written"
done

# A leftover of a killed run inside the input folder is neither packed nor fatal.
printf 'stale' >src/pkg/out.exe.kaito-partial
run createInside 0 create -o src/pkg/out.exe src/pkg
grep -q "skipping .*out.exe.kaito-partial" createInside.err || fail "createInside: no note about the leftover"
run listInside 0 list src/pkg/out.exe
grep -q 'kaito-partial' listInside.out && fail "listInside: the leftover was packed"
rm -f src/pkg/out.exe src/pkg/out.exe.kaito-partial

run create 0 create -o good.exe --level 0 --quiet src/pkg
for pair in 2:130 15:143 1:129; do
  signal=${pair%%:*} status=${pair##*:}
  interrupted "extract$signal" "$signal" big.bin "$status" extract good.exe -C "x$signal"
  [ -e "x$signal/pkg/big.bin.kaito-partial" ] && fail "extract$signal: the temporary file was left behind"
  [ -e "x$signal/pkg/big.bin" ] && fail "extract$signal: a truncated big.bin was left under its real name"
  cmp -s src/pkg/a.txt "x$signal/pkg/a.txt" || fail "extract$signal: a.txt, written before the interrupt, is not complete"
  # The next run completes without complaining about what the interrupted one left.
  run "again$signal" 0 extract good.exe -C "x$signal" pkg/big.bin
  cmp -s src/pkg/big.bin "x$signal/pkg/big.bin" || fail "again$signal: big.bin differs"
done
finish
