#!/usr/bin/env bash
# An entry the stub must hold in memory beyond 512 MiB (its data and its
# decoded bytes at once, in a 32-bit process) gets a warning with the figures;
# one just below gets none.  Native only: kaito.exe itself is a 32-bit process.
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"

mkdir -p huge small
truncate -s 600M huge/zeros.bin
truncate -s 500M small/zeros.bin
run huge 0 create -o huge.exe --quiet --level 1 huge
grep -q -E "zeros.bin': the stub needs 6[0-9]{2} MiB of memory at once for this file \([0-9]+ MiB packed \+ 600 MiB decoded\); above 512 MiB" huge.err ||
  fail "huge: no memory warning with the figures: $(cat huge.err)"
run small 0 create -o small.exe --quiet --level 1 small
[ -s small.err ] && fail "small: unexpected talk: $(cat small.err)"
finish
