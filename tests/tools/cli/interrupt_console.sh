#!/usr/bin/env bash
# kaito.exe interrupted by Ctrl-C (Wine turns SIGINT into the console's
# Ctrl-C event) removes OUT.kaito-partial and ends with 130.  The input takes
# seconds to pack at level 9, and the signal is sent once the partial file
# exists, so it lands mid-run; a run that finishes first fails the test
# rather than passing unnoticed.
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"

mkdir -p src
for i in $(seq 1 400000); do echo "line $i of some text $((i * 7919 % 1000))"; done >src/a.txt
for k in 1 2 3; do cp src/a.txt "src/a$k.txt"; done

"${KAITO[@]}" create -q -o out.exe --level 9 src >create.out 2>create.err &
pid=$!
for _ in $(seq 1 600); do
  [ -e out.exe.kaito-partial ] && break
  sleep 0.1
done
[ -e out.exe.kaito-partial ] || fail "the partial file never appeared: $(cat create.err)"
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq 130 ] || fail "exit status $status after Ctrl-C, expected 130 (0: it finished before the interrupt)"
[ -e out.exe.kaito-partial ] && fail "out.exe.kaito-partial left behind"
[ -e out.exe ] && fail "out.exe written"
finish
