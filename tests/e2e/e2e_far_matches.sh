#!/usr/bin/env bash
# A file whose compressed entry needs matches from megabytes back and of
# more than 65,535 bytes (numbers of class 17 and more): packed at level 9,
# it extracts in automatic mode to the same bytes through the stub's own
# 32-bit decoder.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_begin far_matches

top="far-$token"
mkdir -p "$work/$top"
# 3 MiB of bytes drawn from 16 values (literals about two thirds of a byte,
# and no repeat longer than a few bytes), then its first 1.2 MB again from
# 3 MiB back, then 300,000 equal bytes.
python3 - "$work/$top/far.bin" <<'PY'
import random, sys
random.seed(22)
base = bytes(random.choice(b"0123456789abcdef") for _ in range(3 << 20))
with open(sys.argv[1], "wb") as f:
    f.write(base + base[:1200000] + b"z" * 300000)
PY
name="far-$token.exe"
make_sfx --auto --level 9 -o "$work/$name" "$work/$top"

# Unless the copy is found 3 MiB back, it costs what the first 1.2 MB cost.
packed="$("$KAITO" list --json "$work/$name" | python3 -c 'import json, sys; print(json.load(sys.stdin)["packedSize"])')"
[ "$packed" -lt $(( (3 << 20) * 3 / 4 )) ] || fail "packed into $packed bytes: the far copy was not found"

target="$(wine_temp_dir)/$top"
rm -rf "$target"
start_stub "$work/$name"
caption="$(hex "$(caption_of_alerts "$name")")"
expect_eq "$(probe find "$caption" "$kWindowWaitMs" text 65535)" "$kCompletionText" "completion message"
probe find "$caption" "$kWindowWaitMs" click 1
expect_stub_exit_0

expect_same_tree "$work/$top" "$target"
rm -rf "$target"
echo "PASS"
