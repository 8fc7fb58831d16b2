#!/usr/bin/env bash
# Interactive mode: the destination dialog shows the name and the size and
# offers the temporary folder; the files land in the folder typed in; a second
# run into the same folder asks before overwriting unless told not to.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin interactive

top="tree-$token"
make_input_tree "$work/$top"
name="ask-$token.exe"
make_sfx -o "$work/$name" "$work/$top"
out="$work/out folder"
required=$(find "$work/$top" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
destination="$(hex "$(caption_of_destination "$name")")"
alerts="$(hex "$(caption_of_alerts "$name")")"

start_stub "$work/$name"
shown="$(probe find "$destination" "$kWindowWaitMs" text 1004 text 1002 checked 1003)"
screenshot destination
expect_eq "$shown" "$(printf '%sを以下のフォルダに解凍します\\n%s\nC:\\users\\%s\\Temp\\\n1' \
  "$name" "$(size_line "$required")" "$(id -un)")" "destination dialog"
probe find "$destination" "$kWindowWaitMs" set-text 1002 "$(hex "$(winpath "$out")")" click 1
expect_eq "$(probe find "$alerts" "$kWindowWaitMs" text 65535)" "$kCompletionText" "completion message"
probe find "$alerts" "$kWindowWaitMs" click 1
expect_stub_exit_0
expect_same_tree "$work/$top" "$out/$top"

# Again into the same folder, with the overwrite question left on: it comes
# for the first file, and "overwrite all" answers it for the rest.
start_stub "$work/$name"
probe find "$destination" "$kWindowWaitMs" set-text 1002 "$(hex "$(winpath "$out")\\")" click 1003 \
  wait-text 1002 "$(hex "$(winpath "$out")\\")" 5000 wait-checked 1003 0 5000 >/dev/null
expect_eq "$(probe find "$destination" 5000 checked 1003)" "0" "checkbox after the click"
probe find "$destination" "$kWindowWaitMs" click 1
probe find "$alerts" "$kWindowWaitMs" text 1011 >/dev/null  # the overwrite question shows a path
screenshot overwrite
probe find "$alerts" "$kWindowWaitMs" click 1010
expect_eq "$(probe find "$alerts" "$kWindowWaitMs" text 65535)" "$kCompletionText" "completion message"
probe find "$alerts" "$kWindowWaitMs" click 1
expect_stub_exit_0
expect_same_tree "$work/$top" "$out/$top"
echo "PASS"
