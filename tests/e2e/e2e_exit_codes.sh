#!/usr/bin/env bash
# Unattended runs and exit codes, read whole by run_watched (Wine passes on
# only the low 8 bits): each outcome ends with its own Windows error number,
# a follow-up program's code passes through, /S shows no window at any
# moment, /P only the progress dialog, /D takes a folder with spaces, the
# text behind -- reaches the follow-up program, and /L keeps a log.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin exit_codes

# run_watched [close] LINE: prints "exit N", "visible K", "window CAPTION"...
watched() {
  local args=() line
  [ "$1" = close ] && { args=(close); shift; }
  line="$1"
  timeout 150 wine "$RUN_WATCHED" "${args[@]}" "$(hex "$line")" | tr -d '\r' >"$work/watched.txt" ||
    fail "run_watched: $(cat "$work/watched.txt")"
}
exit_code() { sed -n 's/^exit //p' "$work/watched.txt"; }
visible() { sed -n 's/^visible //p' "$work/watched.txt"; }
expect_exit() {
  expect_eq "$(exit_code)" "$1" "exit code of $2"
  if [ -n "${3:-}" ]; then expect_eq "$(visible)" "$3" "windows shown by $2"; fi
}

top="tree-$token"
make_input_tree "$work/$top"
cp "$RECORDER" "$work/$top/rec.exe"
write_broken_program "$work/$top/NOT-A-PROGRAM.EXE"
sfx="$work/exit-$token.exe"
make_sfx -o "$sfx" --run "$top/rec.exe" --run-args "--exit=3010" "$work/$top"
self="\"$(winpath "$sfx")\""

# Silent, into a folder with spaces, with a log and extra arguments: the
# follow-up program's 3010 (restart needed) is the stub's own.
out="$work/out folder/My App"
log="$work/logs/run.log"
mkdir -p "$work/logs" "$work/out folder"  # winpath names only what exists
watched "$self /s \"/D=$(winpath "$out")\" /L=$(winpath "$log") -- \"two words\" /norestart"
expect_exit 3010 "a silent run whose follow-up program asks for a restart" 0
record="$out/followup-record.txt"
expect_eq "$(sed -n 1p "$record")" \
  "\"$(winpath "$out")\\$top\\rec.exe\" /vrek:\"$(winpath "$sfx")\" --exit=3010 \"two words\" /norestart" \
  "follow-up command line with the arguments behind --"
rm "$record"
expect_same_tree "$work/$top" "$out/$top"
files=$(find "$work/$top" -type f | wc -l)
expect_eq "$(grep -c ' wrote ' "$log")" "$files" "log lines for the files written"
grep -q ' exit code 3010' "$log" || fail "the log does not end with the exit code: $(cat "$log")"

# Extract only (/X): nothing is started, all is well.
mkdir -p "$work/x-only" "$work/passive" "$work/damaged" "$work/missing"
watched "$self /S /X /D=$(winpath "$work/x-only")"
expect_exit 0 "an extract-only run" 0
[ ! -e "$work/x-only/followup-record.txt" ] || fail "/X started the follow-up program"

# Passive: the progress dialog and nothing else, no completion message.
watched "$self /P /X /D=$(winpath "$work/passive")"
expect_exit 0 "a passive run" 1
grep -q "^window $(caption_of_alerts "exit-$token.exe")\$" "$work/watched.txt" &&
  fail "a passive run showed a message box"

# The destination dialog closed: the user stopped it.
watched close "$self"
expect_exit 1602 "a closed destination dialog" 1

# Damaged data: one byte of the first file's content flipped.
damaged="$work/damaged-$token.exe"
python3 - "$sfx" "$damaged" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(b"kaito end-to-end package")
data[at] ^= 0x20
open(sys.argv[2], "wb").write(data)
PY
watched "\"$(winpath "$damaged")\" /S /D=$(winpath "$work/damaged")"
expect_exit 1392 "damaged data (ERROR_FILE_CORRUPT)" 0

# A follow-up program that cannot start: its start's error.
missing="$work/missing-$token.exe"
make_sfx -o "$missing" --run "$top/NOT-A-PROGRAM.EXE" "$work/$top"
watched "\"$(winpath "$missing")\" /S /D=$(winpath "$work/missing")"
expect_exit 193 "a follow-up program that cannot start (ERROR_BAD_EXE_FORMAT)" 0

# A /D that names a file, or a drive that does not exist: the folder cannot
# be made (ERROR_CANNOT_MAKE).
watched "$self /S /D=$(winpath "$sfx")"
expect_exit 82 "a /D that names a file" 0
watched "$self /S /D=Q:\\nowhere"
expect_exit 82 "a /D on a missing drive" 0

# Command lines that cannot be used: the switch list (none under /S), 87 or
# 206, nothing extracted; /? shows the list and ends with 0; a log that
# cannot be opened ends with 1622 before anything is extracted.
watched close "$self /Q /D=$(winpath "$work")\\bad"
expect_exit 87 "an unknown switch" 1
watched "$self /S /D=relative\\folder"
expect_exit 87 "a relative /D under /S" 0
watched "$self /S /D=C:\\$(printf 'a%.0s' $(seq 1 300))"
expect_exit 206 "a /D over the path limit" 0
watched close "$self /?"
expect_exit 0 "/?" 1
watched "$self /S /D=$(winpath "$work")\\bad \"/L=$(winpath "$work")\\no such folder\\run.log\""
expect_exit 1622 "a log that cannot be opened" 0
[ ! -e "$work/bad" ] || fail "files were extracted after a command line that cannot be used"
echo "PASS"
