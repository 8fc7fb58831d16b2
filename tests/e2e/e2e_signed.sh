#!/usr/bin/env bash
# Signed self-extracting files: a file from kaito, signed with osslsigncode
# and a throw-away certificate made here, extracts whole under the real stub;
# so does a file as older kaito versions wrote it (no integrity record, a
# length that is no multiple of 8, so the signing tool pads before its
# table); bytes appended behind the signature make the stub refuse the file
# with the corrupt-data alert.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
command -v osslsigncode >/dev/null && command -v openssl >/dev/null || {
  echo "SKIP: osslsigncode and openssl are needed (scripts/setup.sh installs them)"
  exit 77
}
e2e_begin signed

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=kaito throw-away test signer" 2>/dev/null
sign() { osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "kaito test" -in "$1" -out "$2" >/dev/null; }

# The file as it was before the integrity record: padding and record cut out.
strip_record() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
trailer = len(data) - 4
footer = trailer - 24
assert data[footer:footer + 8] == b"kaitoSum"
count, padding = struct.unpack_from("<II", data, footer + 8)
entries_end = trailer - (count * 8 + 24) - padding
open(sys.argv[2], "wb").write(data[:entries_end] + data[trailer:])
PY
}

# Runs an automatic-mode file and expects its completion and the whole tree.
expect_extracts() {
  local file="$1" top="$2" target
  target="$(wine_temp_dir)/$top"
  rm -rf "$target"
  start_stub "$work/$file"
  local caption message
  caption="$(hex "$(caption_of_alerts "$file")")"
  message="$(probe find "$caption" "$kWindowWaitMs" text 65535)"
  expect_eq "$message" "$kCompletionText" "completion message of $file"
  probe find "$caption" "$kWindowWaitMs" click 1
  expect_stub_exit_0
  expect_same_tree "$work/$top" "$target"
  rm -rf "$target"
}

top="signed-$token"
make_input_tree "$work/$top"
make_sfx --auto -o "$work/plain.exe" "$work/$top"
sign "$work/plain.exe" "$work/signed-$token.exe"
expect_extracts "signed-$token.exe" "$top"

# An older file: pick a tree whose file without the record has a length that
# is no multiple of 8, so that the signer's padding lands behind the trailer.
old="old-$token"
make_input_tree "$work/$old"
for extra in 1 2 3 4 5 6 7 8; do
  printf 'x' >>"$work/$old/readme.txt"
  make_sfx --auto -o "$work/old-plain.exe" "$work/$old"
  strip_record "$work/old-plain.exe" "$work/old-bare.exe"
  [ $(( $(stat -c %s "$work/old-bare.exe") % 8 )) -ne 0 ] && break
done
[ $(( $(stat -c %s "$work/old-bare.exe") % 8 )) -ne 0 ] || fail "no tree gave an older file of odd length"
sign "$work/old-bare.exe" "$work/oldsigned-$token.exe"
expect_extracts "oldsigned-$token.exe" "$old"

# Appended behind the signature: refused before anything is written.
cp "$work/signed-$token.exe" "$work/appended-$token.exe"
printf 'appended' >>"$work/appended-$token.exe"
target="$(wine_temp_dir)/$top"
rm -rf "$target"
start_stub "$work/appended-$token.exe"
# The summary cannot read the file, so the destination dialog comes first.
out="$work/out"
probe find "$(hex "$(caption_of_destination "appended-$token.exe")")" "$kWindowWaitMs" \
  set-text 1002 "$(hex "$(winpath "$out")")" click 1
caption="$(hex "$(caption_of_alerts "appended-$token.exe")")"
message="$(probe find "$caption" "$kWindowWaitMs" text 65535)"
expect_eq "$message" "$kCorruptAlert" "alert for bytes appended behind the signature"
probe find "$caption" "$kWindowWaitMs" click 1
expect_stub_exit 1392  # ERROR_FILE_CORRUPT
[ -z "$(find "$out" -type f 2>/dev/null)" ] || fail "files were written from a file with bytes behind its signature"
echo "PASS"
