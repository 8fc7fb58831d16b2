#!/usr/bin/env bash
# An automatic-mode file whose header says its files need 0 bytes is taken
# as damaged: the damaged-data message under the program's caption, then the
# end with exit code 0, nothing extracted and no other window.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin required_size_zero

top="tree-$token"
make_input_tree "$work/$top"
name="zero-$token.exe"
make_sfx --auto -o "$work/$name" "$work/$top"
python3 - "$work/$name" <<'PY'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    f.seek(-4, 2)
    offset, = struct.unpack("<I", f.read(4))
    f.seek(offset + 12)  # requiredSize
    assert struct.unpack("<I", f.read(4))[0] > 0
    f.seek(offset + 12)
    f.write(struct.pack("<I", 0))
PY
alerts="$(hex "$(caption_of_alerts "$name")")"
rm -rf "$(wine_temp_dir)/$top"

start_stub "$work/$name"
message="$(probe find "$alerts" "$kWindowWaitMs" text 65535)"
screenshot damaged-data
expect_eq "$message" "$kDamagedText" "damaged-data message"
probe find "$alerts" "$kWindowWaitMs" click 1
expect_stub_exit 13  # ERROR_INVALID_DATA
[ ! -e "$(wine_temp_dir)/$top" ] || fail "files were extracted"
echo "PASS"
