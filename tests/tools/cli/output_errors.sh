#!/usr/bin/env bash
# What kaito says about files that are not what a command needs (a folder, a
# device, a bare stub, a Windows program without an archive), outputs that
# create must not replace or cannot write, and write errors on standard
# output: each a clear line and exit status 1 (2 for a wrong command line).
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"
stub="${KAITO_TEST_STUB:-}"
program="${KAITO_TEST_PROGRAM:-}"
if [ -z "$stub" ] || [ -z "$program" ]; then
  echo "skipped: KAITO_TEST_STUB and KAITO_TEST_PROGRAM must name the stub and a Windows program"
  exit 77
fi
cp "$stub" bare.exe
cp "$program" program.exe
mkdir -p src/pkg folder.exe
printf 'x' >src/pkg/a.txt
run good 0 create -o good.exe --quiet --stub bare.exe src/pkg

for command in list test extract; do
  run "$command-folder" 1 "$command" folder.exe
  expect_error "$command-folder" "folder.exe: is a folder"
  run "$command-bare" 1 "$command" bare.exe
  expect_error "$command-bare" "bare.exe: not a self-extracting file: a kaito stub with no archive"
  run "$command-program" 1 "$command" program.exe
  expect_error "$command-program" "program.exe: not a self-extracting file: a Windows program without an archive"
done
run stubFolder 1 create -o x.exe --stub folder.exe src/pkg
expect_error stubFolder "folder.exe: is a folder"

# -o that names a folder, or a file that is also an input (here inside an
# input folder): refused before any work, nothing replaced.
printf 'keep me' >src/pkg/existing.txt
for out in folder.exe/ ./ folder.exe; do
  name="outFolder${out//[\/.]/_}"
  run "$name" 1 create -o "$out" src/pkg
  expect_error "$name" "$out: is a folder"
done
run outNewFolder 1 create -o newdir/ src/pkg
expect_error outNewFolder "newdir/: names a folder, not a file"
run outMissing 1 create -o newdir/x.exe src/pkg
expect_error outMissing "there is no folder newdir"
run outInside 1 create -o src/pkg/existing.txt src/pkg
expect_error outInside "is the output file (-o); it cannot also be packed"
[ "$(cat src/pkg/existing.txt)" = "keep me" ] || fail "outInside: the input was overwritten"
run outTwice 2 create -o a.exe -o b.exe src/pkg
expect_error outTwice "-o given twice ('a.exe' and 'b.exe')"
[ -e a.exe ] || [ -e b.exe ] || [ -e newdir ] && fail "a refused output was written"

# Standard output that cannot take the data: a failure, not exit status 0.
for args in "list good.exe" "list --json good.exe" "test good.exe" "--help"; do
  # shellcheck disable=SC2086
  "${KAITO[@]}" $args >/dev/full 2>full.err
  status=$?
  [ "$status" -eq 1 ] || fail "$args >/dev/full: exit status $status, expected 1"
  grep -q 'cannot write to standard output' full.err || fail "$args >/dev/full: $(cat full.err)"
done
finish
