#!/usr/bin/env bash
# A device or a pipe handed to list, test, extract or --stub is called what it
# is, not "no such file", and create never replaces one named by -o.  Native
# only: Wine shows neither to kaito.exe.
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"

mkfifo pipe.exe
mkdir -p src && printf 'x' >src/a.txt
for command in list test extract; do
  for file in /dev/null pipe.exe; do
    run "$command-${file##*/}" 1 "$command" "$file"
    expect_error "$command-${file##*/}" "$file: is not a regular file (a device, pipe or socket)"
  done
done
run stubDevice 1 create -o x.exe --stub /dev/zero src
expect_error stubDevice "/dev/zero: is not a regular file"

# The rename onto the output name would replace the pipe or device itself.
outputs=(pipe.exe)
# A copy of /dev/null needs the right to make devices (root in a container).
mknod null.dev c 1 3 2>/dev/null && outputs+=(null.dev) || echo "note: mknod not permitted; the pipe stands for devices"
for out in "${outputs[@]}"; do
  run "output-$out" 1 create -o "$out" src
  expect_error "output-$out" "-o $out: is a device, pipe or socket"
done
[ -p pipe.exe ] || fail "the pipe named by -o was replaced"
[ ! -e null.dev ] || [ -c null.dev ] || fail "the device named by -o was replaced"
finish
