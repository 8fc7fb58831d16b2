#!/usr/bin/env bash
# Every bad input ends with one clear line on stderr and a non-zero status:
# wrong command lines, missing inputs, unwritable outputs, a stub that is no
# stub, and damaged self-extracting files for list, test and extract.
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"

mkdir -p src/pkg/sub
for i in $(seq 1 300); do echo "repeated line $i"; done >src/pkg/a.txt
printf 'hello\n' >src/pkg/sub/b.txt
run good 0 create -o good.exe --quiet src/pkg
size=$(stat -c %s good.exe)

run nocommand 2
expect_error nocommand "no command"
run badlevel 2 create -o x.exe --level 12 src/pkg
expect_error badlevel "--level takes a number from 0 to 9"
run nooutput 2 create src/pkg
expect_error nooutput "output file is missing"
run missing 1 create -o x.exe src/nothing-here
expect_error missing "no such file or folder"
run unwritable 1 create -o no-such-folder/x.exe src/pkg
expect_error unwritable "cannot write"
[ -e no-such-folder ] && fail "unwritable: a folder was created"
echo "just text" >notastub.exe
run notastub 1 create -o x.exe --stub notastub.exe src/pkg
expect_error notastub "not a Windows program"
run sfxasstub 1 create -o x.exe --stub good.exe src/pkg
expect_error sfxasstub "already a self-extracting file"
run nostub 1 create -o x.exe --stub missing.exe src/pkg
expect_error nostub "cannot read"
mkdir -p src/hollow && : >src/hollow/empty.dat
run autoempty 1 create -o x.exe --auto src/hollow
expect_error autoempty "--auto needs at least one non-empty file"
[ -e x.exe ] && fail "a failed create left x.exe behind"

# patch FILE OFFSET HEXBYTES: overwrite bytes in a copy of good.exe.
patch() {
  cp good.exe "$1"
  printf "$(echo "$3" | sed 's/\(..\)/\\x\1/g')" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
locator=$(od -An -tu4 -j $((size - 4)) -N4 good.exe | tr -d ' ')
head -c $((size - 1)) good.exe >cut.exe
cp good.exe appended.exe && printf 'x' >>appended.exe
patch badheader.exe $((locator + 2)) 1100
patch badmagic.exe $((locator + 16)) 4658
# The first entry, pkg\a.txt, is compressed: break its block's magic.
patch badblock.exe $((locator + 16 + 24 + 9)) 00000000
patch unsafe.exe $((locator + 16 + 24)) 2e2e5c
patch required.exe $((locator + 12)) 01000000
# A flipped byte in the stub's code: only the PE checksum over the whole file sees it.
code=$(od -An -tx1 -j 1100 -N1 good.exe | tr -d ' ')
patch stubflip.exe 1100 "$(printf '%02x' $((0x$code ^ 1)))"
# As an older kaito wrote it, with bytes between the last entry and the
# trailer, which the stub skips: every command reads it.
as_older_kaito good.exe old.exe
{ head -c $(($(wc -c <old.exe) - 4)) old.exe; printf 'gap!'; tail -c 4 old.exe; } >gap.exe

for command in list test extract; do
  destination=()
  for bad in cut appended badheader badmagic unsafe notastub absent; do
    [ "$command" = extract ] && destination=(-C "out-extract-$bad")
    run "$command-$bad" 1 "$command" "$bad.exe" "${destination[@]}"
  done
  for bad in cut appended badheader badmagic unsafe; do
    expect_error "$command-$bad" "corrupt self-extracting file"
  done
  expect_error "$command-notastub" "not a self-extracting file"
  expect_error "$command-absent" "no such file"
done
# A damaged block, damage in the stub part and a wrong required size show only when everything is read.
run test-badblock 1 test badblock.exe
expect_error test-badblock "corrupt self-extracting file"
run extract-badblock 1 extract badblock.exe -C out-badblock
expect_error extract-badblock "corrupt self-extracting file"
run test-stubflip 1 test stubflip.exe
expect_error test-stubflip "PE checksum in the header does not match: the stub part is damaged"
run test-gap 0 test gap.exe
expect_error test-gap "warning: gap.exe: 4 bytes between the last entry and the trailer belong to no entry"
grep -q 'structure checked only' test-gap.out || fail "test-gap: $(cat test-gap.out)"
run extract-gap 0 extract -q gap.exe -C out-gap
diff -r src/pkg out-gap/pkg >/dev/null || fail "extract-gap: the tree differs"
# The integrity record covers the archive header: a changed required size is
# caught as soon as the file is opened.
run test-required 1 test required.exe
expect_error test-required "do not match their checksum"
run list-gap 0 list gap.exe
# Nothing may be written outside the destination, nor anything at all for a damaged file.
[ -e a.txt ] || [ -e ../a.txt ] && fail "a file escaped the destination"
for bad in cut appended badheader badmagic unsafe; do
  [ -n "$(ls -A "out-extract-$bad" 2>/dev/null)" ] && fail "extract-$bad wrote files"
done
finish
