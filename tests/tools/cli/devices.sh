#!/usr/bin/env bash
# A device or a pipe handed to list, test, extract or --stub is called what it
# is, not "no such file".  Native only: Wine shows neither to kaito.exe.
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
finish
