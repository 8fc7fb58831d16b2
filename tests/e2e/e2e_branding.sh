#!/usr/bin/env bash
# Branding: a file made with --icon and --version-info loads the new icon
# group as the stub loads it (each size picks its own image of the .ico),
# shows its destination dialog, extracts everything and ends with exit code 0.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin branding

top="tree-$token"
make_input_tree "$work/$top"
python3 "$e2e_root/tests/tools/branding/make_test_icon.py" "$work/brand.ico"
name="brand-$token.exe"
make_sfx -o "$work/$name" --icon "$work/brand.ico" --version-info "ProductName=ブランド" \
  --version-info FileVersion=3.1.4 "$work/$top"

# The test icon: 16 red and 32 green bitmaps, a 48 blue PNG.
loaded="$(timeout 120 wine "$ICON_PROBE" "$(winpath "$work/$name")" | tr -d '\r')" || fail "icon_probe: $loaded"
expect_eq "$loaded" "$(printf 'default 32x32 00ff00\n16 16x16 ff0000\n32 32x32 00ff00\n48 48x48 0000ff')" \
  "icon group 130 as the system loads it"

out="$work/out"
destination="$(hex "$(caption_of_destination "$name")")"
alerts="$(hex "$(caption_of_alerts "$name")")"
start_stub "$work/$name"
probe find "$destination" "$kWindowWaitMs" set-text 1002 "$(hex "$(winpath "$out")")" click 1
expect_eq "$(probe find "$alerts" "$kWindowWaitMs" text 65535)" "$kCompletionText" "completion message"
probe find "$alerts" "$kWindowWaitMs" click 1
expect_stub_exit_0
expect_same_tree "$work/$top" "$out/$top"
echo "PASS"
