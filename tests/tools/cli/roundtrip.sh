#!/usr/bin/env bash
# create -> test -> list -> extract reproduces a real folder tree byte for byte
# (nested folders, Japanese names, 0-byte, 1-byte and multi-MiB files) at every
# level, with the files' last-write times.
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"

levels="${KAITO_TEST_LEVELS:-0 1 2 3 4 5 6 7 8 9}"
mkdir -p "src/パッケージ/深い/さらに" src/パッケージ/bin "src/パッケージ/空"
: >src/パッケージ/zero.bin
printf 'x' >src/パッケージ/one.txt
printf '日本語のテキスト\n' >"src/パッケージ/深い/説明書.txt"
for i in $(seq 1 400); do echo "line $i of a text file that repeats itself with small changes $((i % 7))"; done \
  >"src/パッケージ/深い/さらに/readme.txt"
head -c 1500000 /dev/urandom >src/パッケージ/bin/noise.bin
# Several MiB that compress: text and binary-like records.
for i in $(seq 1 60000); do printf 'record %06d value %d\0\1\2' "$i" $((i * 37 % 1000)); done >src/パッケージ/bin/data.dat
touch -d '2001-02-03 04:05:06' src/パッケージ/one.txt

for level in $levels; do
  out="l$level.exe"
  run "create$level" 0 create -o "$out" --level "$level" --quiet src/パッケージ
  grep -q "skipping empty folder" "create$level.err" || fail "create$level: no note about the empty folder"
  run "test$level" 0 test "$out"
  run "list$level" 0 list "$out"
  grep -q 'one.txt' "list$level.out" || fail "list$level: one.txt missing"
  [ "$(grep -c -E '^(stored|compressed) ' "list$level.out")" -eq 6 ] || fail "list$level: expected 6 entries"
  grep -q 'required size: ' "list$level.out" || fail "list$level: no header summary"
  if [ "$level" = 0 ]; then
    grep -q '^compressed' "list$level.out" && fail "list0: level 0 must store everything"
  else
    grep -q '^compressed .*data.dat' "list$level.out" || fail "list$level: data.dat not compressed"
    grep -q '^stored .*noise.bin' "list$level.out" || fail "list$level: noise.bin should be stored"
  fi
  run "extract$level" 0 extract "$out" -C "x$level"
  diff -r -x 空 "src/パッケージ" "x$level/パッケージ" >/dev/null 2>&1 || fail "extract$level: tree differs"
  [ -d "x$level/パッケージ/空" ] && fail "extract$level: the empty folder appeared"
  [ "$(stat -c %Y "x$level/パッケージ/one.txt")" = "$(stat -c %Y src/パッケージ/one.txt)" ] ||
    fail "extract$level: last-write time not applied"
done

# -C names entries relative to the folder; --auto and --run reach the header.
make_program src/パッケージ/bin/setup.exe
run createC 0 create -o c.exe -C src/パッケージ --auto --run 'bin\setup.exe' --run-args '/S' --quiet .
run listC 0 list c.exe
grep -q -E $' zero\.bin\r?$' listC.out || fail "listC: names not relative to -C"
grep -q 'automatic mode: yes' listC.out || fail "listC: automatic mode missing"
grep -q 'follow-up program: bin\\setup.exe' listC.out || fail "listC: follow-up program missing"
grep -q 'follow-up arguments: /S' listC.out || fail "listC: follow-up arguments missing"
run testC 0 test c.exe

# An existing file is kept unless --overwrite.
run again 1 extract l0.exe -C x0
expect_error again "already exists"
run overwrite 0 extract l0.exe -C x0 --overwrite
finish
