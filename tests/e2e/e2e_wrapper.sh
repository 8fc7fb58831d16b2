#!/usr/bin/env bash
# The installer wrapper (kaito create --auto --run ... --cleanup): the files
# go into a new private folder in the temporary folder, the program runs
# there, the stub waits for it and for every process it started, then the
# folder is gone; the program's exit code is the stub's.  Folders made
# beforehand at the names automatic mode uses are never written into; a file
# still held open is left and named in the log; a damaged archive, a program
# that cannot start and an Abort leave nothing behind; /D keeps the files and
# starts nothing.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin wrapper

watched() {  # [close] LINE: run_watched's "exit N", "visible K" lines into $work/watched.txt
  local args=()
  [ "$1" = close ] && { args=(close); shift; }
  timeout 150 wine "$RUN_WATCHED" "${args[@]}" "$(hex "$1")" | tr -d '\r' >"$work/watched.txt" ||
    fail "run_watched: $(cat "$work/watched.txt")"
}
expect_exit() { expect_eq "$(sed -n 's/^exit //p' "$work/watched.txt")" "$1" "exit code of $2"; }
temp="$(wine_temp_dir)"
private_folders() { find "$temp" -maxdepth 1 -name 'kaito-*' -newer "$work/started" | sort; }

top="pkg-$token"
make_input_tree "$work/$top"
cp "$RECORDER" "$work/$top/setup.exe"
record="$work/record.txt"
make_wrapper() {  # OUT RUN-ARGS
  make_sfx --auto --cleanup --run "$top/setup.exe" --run-args "$2" -o "$1" "$work/$top"
}

# Names a folder of fixed name would take: made beforehand, with something in
# them, and left as they were.
planted=("$temp/_davoexpand" "$WINEPREFIX/drive_c/_davoexpand")
rm -rf "${planted[@]}"
mkdir -p "${planted[@]}"
echo "planted" >"$temp/_davoexpand/marker.txt"
echo "planted" >"$WINEPREFIX/drive_c/_davoexpand/marker.txt"
touch "$work/started"

# A silent run whose program starts a child that outlives it by 2.5 s and
# asks for a restart: the stub waits for the child, the folder is there until
# then, and gone afterwards.
sfx="$work/wrapper-$token.exe"
make_wrapper "$sfx" "--exit=3010 --spawn=2500 --record=$(winpath "$record")"
log="$work/run.log"
watched "\"$(winpath "$sfx")\" /S /L=$(winpath "$log")"
expect_exit 3010 "a wrapper run whose program asks for a restart"
expect_eq "$(sed -n 's/^visible //p' "$work/watched.txt")" 0 "windows of a silent wrapper run"
folder="$(sed -n 2p "$record")"
case "$folder" in
  'C:\users\'*'\Temp\kaito-'????????????????) ;;
  *) fail "the program ran in [$folder], not in a new folder in the temporary folder" ;;
esac
expect_eq "$(sed -n 3p "$record")" "end" "the program's end"
expect_eq "$(sed -n 4p "$record")" "child end, folder kept" "the child's end, before the folder went"
grep -qF "follow-up \"$folder\\$top\\setup.exe\"" "$log" || fail "the log names another program: $(cat "$log")"
[ -z "$(private_folders)" ] || fail "left behind: $(private_folders)"
! grep -q ' left ' "$log" || fail "the log names files left: $(cat "$log")"
for folder in "${planted[@]}"; do
  expect_eq "$(ls "$folder")" "marker.txt" "$folder after the run"
done
rm -rf "${planted[@]}"

# A file held open by a program outside the run is left and logged; the
# exit code stays the program's own.  A link put into the folder meanwhile
# (from the Linux side) is never followed: what it leads to stays.
make_wrapper "$sfx" "--sleep=4000 --record=$(winpath "$record")"
rm -f "$record" "$log"
start_stub "$sfx" /S "/L=$(winpath "$log")"
for _ in $(seq 1 300); do [ -s "$record" ] && break; sleep 0.1; done
folder="$(sed -n 2p "$record")"
[ -n "$folder" ] || fail "the program did not start"
held="$folder\\$top\\readme.txt"
timeout 60 wine "$RECORDER" --sleep=8000 "--hold=$held" >/dev/null 2>&1 &
holder=$!
mkdir -p "$work/outside"
echo "keep" >"$work/outside/keep.txt"
ln -s "$work/outside" "$temp/${folder##*\\}/link"
expect_stub_exit 0
grep -qF " left $held" "$log" || fail "the held file is not named in the log: $(cat "$log")"
wait "$holder" || true
expect_eq "$(cat "$work/outside/keep.txt" 2>/dev/null)" "keep" "a file behind a link in the folder"
leftover="$(private_folders)"
expect_eq "$(find "$leftover" -type f | wc -l)" 1 "files left beside the held one"
rm -rf "$leftover"
touch "$work/started"

# A damaged archive, a program that cannot start and an Abort: nothing left.
damaged="$work/damaged-$token.exe"
python3 - "$sfx" "$damaged" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[data.index(b"kaito end-to-end package")] ^= 0x20
open(sys.argv[2], "wb").write(data)
PY
watched "\"$(winpath "$damaged")\" /S"
expect_exit 1392 "a damaged wrapper"
write_broken_program "$work/$top/setup.exe"
make_wrapper "$sfx" ""
watched "\"$(winpath "$sfx")\" /S"
expect_exit 193 "a wrapper whose program cannot start"
[ -z "$(private_folders)" ] || fail "left behind: $(private_folders)"
many="$work/many"
mkdir -p "$many/$top"
for i in $(seq 1 4000); do echo "$i" >"$many/$top/f$i.txt"; done
cp "$RECORDER" "$many/$top/setup.exe"
make_sfx --auto --cleanup --run "$top/setup.exe" -o "$work/many-$token.exe" "$many/$top"
start_stub "$work/many-$token.exe" /P
probe find-control 1006 "$kWindowWaitMs" click 2 >/dev/null
expect_stub_exit 1602
[ -z "$(private_folders)" ] || fail "left behind after Abort: $(private_folders)"

# /D: the files are kept where asked and nothing is started.
watched "\"$(winpath "$sfx")\" /S /D=$(winpath "$work")\\kept"
expect_exit 0 "a wrapper run with /D"
expect_same_tree "$work/$top" "$work/kept/$top"
echo "PASS"
