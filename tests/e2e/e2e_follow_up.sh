#!/usr/bin/env bash
# A file that names a follow-up program: after extraction the program is
# started from the destination folder with the self-extracting file's path
# on its command line, no completion message is shown, and the stub ends only
# after the program has ended.  A program that cannot start ends the stub at
# once, without a message, with the start's error as its exit code.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin follow_up

top="tree-$token"
make_input_tree "$work/$top"
mkdir -p "$work/$top/SUB"
cp "$RECORDER" "$work/$top/SUB/rec.exe"
name="run-$token.exe"
make_sfx -o "$work/$name" --run "$top\\SUB\\rec.exe" --run-args "-s --sleep=3000" "$work/$top"
out="$work/out folder"
destination="$(hex "$(caption_of_destination "$name")")"

start_stub "$work/$name"
probe find "$destination" "$kWindowWaitMs" set-text 1002 "$(hex "$(winpath "$out")")" click 1
record="$out/followup-record.txt"
for _ in $(seq 1 300); do [ -s "$record" ] && break; sleep 0.1; done
[ -s "$record" ] || fail "the follow-up program did not start"
stub_running || fail "the stub ended while the follow-up program was running"
expect_stub_exit_0
expect_eq "$(sed -n 3p "$record")" "end" "follow-up program ended before the stub"
expect_eq "$(sed -n 1p "$record")" \
  "\"$(winpath "$out")\\$top\\SUB\\rec.exe\" /vrek:\"$(winpath "$work/$name")\" -s --sleep=3000" \
  "follow-up command line"
expect_eq "$(sed -n 2p "$record")" "$(winpath "$out")" "follow-up current folder"
rm "$record"
expect_same_tree "$work/$top" "$out/$top"

# A follow-up program that cannot start: kaito packs only a --run that names
# a packed Windows program, so this one has a program's first bytes (MZ, the
# PE signature, an executable's file header) and nothing behind them.
name="missing-$token.exe"
write_broken_program "$work/$top/NOT-A-PROGRAM.EXE"
make_sfx -o "$work/$name" --run "$top\\NOT-A-PROGRAM.EXE" "$work/$top"
destination="$(hex "$(caption_of_destination "$name")")"
start_stub "$work/$name"
probe find "$destination" "$kWindowWaitMs" set-text 1002 "$(hex "$(winpath "$work/out2")")" click 1
expect_stub_exit 193  # the start's own error, ERROR_BAD_EXE_FORMAT
[ -e "$work/out2/$top/readme.txt" ] || fail "nothing was extracted before the failed start"
echo "PASS"
