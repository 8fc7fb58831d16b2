#!/usr/bin/env bash
# Automatic mode extracts into the temporary folder without a question, shows
# only the completion message, and recreates the tree byte for byte with its
# file times.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin automatic

top="tree-$token"
make_input_tree "$work/$top"
name="auto-$token.exe"
make_sfx --auto -o "$work/$name" "$work/$top"
target="$(wine_temp_dir)/$top"
rm -rf "$target"

start_stub "$work/$name"
caption="$(hex "$(caption_of_alerts "$name")")"
message="$(probe find "$caption" "$kWindowWaitMs" text 65535)"
screenshot completion
expect_eq "$message" "$kCompletionText" "completion message"
probe find "$caption" "$kWindowWaitMs" click 1
expect_stub_exit_0

expect_same_tree "$work/$top" "$target"
rm -rf "$target"
echo "PASS"
