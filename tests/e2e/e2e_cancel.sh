#!/usr/bin/env bash
# Closing the destination dialog (its Close button or the close box) ends the
# stub at once with exit code 1602 (the user stopped it): no progress dialog,
# no message, no file.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin cancel

top="tree-$token"
make_input_tree "$work/$top"
name="cancel-$token.exe"
make_sfx -o "$work/$name" "$work/$top"
destination="$(hex "$(caption_of_destination "$name")")"

for how in "click 2" "close"; do
  start_stub "$work/$name"
  # A typed folder must not be used either.
  probe find "$destination" "$kWindowWaitMs" set-text 1002 "$(hex "$(winpath "$work/out")")" $how
  expect_stub_exit 1602
  [ ! -e "$work/out" ] || fail "files were extracted after '$how'"
  [ ! -e "$(wine_temp_dir)/$top" ] || fail "files were extracted into the temporary folder after '$how'"
done
echo "PASS"
