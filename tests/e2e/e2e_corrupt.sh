#!/usr/bin/env bash
# A self-extracting file whose archive header is damaged: the header can't be
# read, so even an automatic-mode file shows the destination dialog, without
# a size; extraction then stops with the corrupt-data alert, writes nothing,
# and the stub ends with exit code 0.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin corrupt

top="tree-$token"
make_input_tree "$work/$top"
name="corrupt-$token.exe"
make_sfx --auto -o "$work/$name" "$work/$top"
# The last four bytes give the archive's offset; its first two bytes are the
# header's magic "AL".
python3 - "$work/$name" <<'PY'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    f.seek(-4, 2)
    offset, = struct.unpack("<I", f.read(4))
    f.seek(offset)
    assert f.read(2) == b"AL", "no archive header at the locator"
    f.seek(offset)
    f.write(b"AX")
PY
out="$work/out"
destination="$(hex "$(caption_of_destination "$name")")"
alerts="$(hex "$(caption_of_alerts "$name")")"

start_stub "$work/$name"
expect_eq "$(probe find "$destination" "$kWindowWaitMs" text 1004)" \
  "${name}を以下のフォルダに解凍します" "size text without a size"
probe find "$destination" "$kWindowWaitMs" set-text 1002 "$(hex "$(winpath "$out")")" click 1
alert="$(probe find "$alerts" "$kWindowWaitMs" text 65535)"
screenshot corrupt-alert
expect_eq "$alert" "$kCorruptAlert" "corrupt-data alert"
probe find "$alerts" "$kWindowWaitMs" click 1
expect_stub_exit 1392  # ERROR_FILE_CORRUPT
[ -z "$(find "$out" -type f 2>/dev/null)" ] || fail "files were written from a corrupt archive"
echo "PASS"
