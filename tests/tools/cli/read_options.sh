#!/usr/bin/env bash
# list, test and extract as scripts use them: list --json (valid and faithful
# for any file name) and -q, test on several files, extract of chosen entries
# by name or pattern in either case, --quiet, --version, and write errors on
# standard output.
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"

mkdir -p src/pkg/sub src/pkg/other
for i in $(seq 1 300); do echo "line $i"; done >src/pkg/a.txt
printf 'hello\n' >src/pkg/sub/b.cmd
printf 'x\n' >'src/pkg/other/it'"'"'s.txt'
printf '日本\n' >src/pkg/other/日本.txt
touch -d '2001-02-03 04:05:06 UTC' src/pkg/sub/b.cmd
run good 0 create -o good.exe --quiet --auto --run pkg/sub/b.cmd --run-args '/S "x"' src/pkg
cp good.exe second.exe

# list --json: the documented schema, names escaped as \uXXXX.
run json 0 list --json good.exe
for field in '"schema": "kaito-list/1"' '"file": "good.exe"' '"automaticMode": true' \
  '"followUp": {"program": "pkg\\sub\\b.cmd", "arguments": "/S \"x\""}' '"requiredSize": ' \
  '"name": "pkg\\other\\it'"'"'s.txt", "method": "stored"' '"name": "pkg\\other\\\u65E5\u672C.txt"' \
  '"name": "pkg\\sub\\b.cmd", "method": "stored", "size": 6, "packedSize": 6, "created": "' \
  '"lastWritten": "2001-02-03T04:05:06Z"}'; do
  grep -q -F -- "$field" json.out || fail "json: missing $field: $(cat json.out)"
done
if command -v python3 >/dev/null; then
  python3 -c 'import json,sys; d=json.load(open("json.out")); assert len(d["entries"]) == 4, d' ||
    fail "json: not a valid document with 4 entries"
fi
LC_ALL=C grep -q -P '[\x80-\xFF]' json.out && fail "json: raw non-ASCII bytes in the document"
# A file name that is no UTF-8 (a Linux name; kaito.exe gets its names as
# UTF-16): U+FFFD for the bad byte, the bytes beside it, still strict JSON.
if ! under_wine; then
  cp good.exe $'caf\xE9.exe'
  run jsonBytes 0 list --json $'caf\xE9.exe'
  grep -q -F '"file": "caf\uFFFD.exe", "fileBytes": "636166e92e657865",' jsonBytes.out ||
    fail "jsonBytes: $(head -3 jsonBytes.out)"
  if command -v python3 >/dev/null; then
    python3 -c 'import json,sys; json.load(open("jsonBytes.out"))' || fail "jsonBytes: not strict JSON"
  fi
fi

# list -q: the entry lines only.
run listQuiet 0 list -q good.exe
[ "$(wc -l <listQuiet.out)" -eq 4 ] || fail "list -q: expected 4 lines: $(cat listQuiet.out)"
grep -q -E 'method|files,|automatic mode' listQuiet.out && fail "list -q: heading or summary printed"

# test on several files: every file is tested, one bad one fails the command.
head -c 2000 good.exe >cut.exe
run testMany 1 test good.exe cut.exe second.exe
grep -q '^good.exe: OK' testMany.out && grep -q '^second.exe: OK' testMany.out ||
  fail "testMany: a good file was not reported OK: $(cat testMany.out)"
grep -q 'cut.exe' testMany.err || fail "testMany: the bad file is not named"
grep -q '1 of 3 files failed' testMany.err || fail "testMany: no closing count"
run testQuiet 0 test -q good.exe second.exe
[ -s testQuiet.out ] || [ -s testQuiet.err ] && fail "test -q: printed something"

# extract ENTRY...: a file and a folder, either separator; unknown names refused first.
run pick 0 extract good.exe -C pick --quiet 'pkg\sub\b.cmd' pkg/other
[ -s pick.err ] && fail "pick: --quiet still printed: $(cat pick.err)"
cmp -s src/pkg/sub/b.cmd pick/pkg/sub/b.cmd || fail "pick: b.cmd missing or different"
cmp -s src/pkg/other/日本.txt pick/pkg/other/日本.txt || fail "pick: the folder's files missing"
[ -e pick/pkg/a.txt ] && fail "pick: an entry not asked for was extracted"
# Patterns as --exclude takes them, letters in either case.
run pickPattern 0 extract good.exe -C pattern --quiet 'PKG/*/B.CMD' '*.TXT'
[ "$(cd pattern && find . -type f | sort | tr '\n' ' ')" = "./pkg/a.txt ./pkg/other/it's.txt ./pkg/other/日本.txt ./pkg/sub/b.cmd " ] ||
  fail "pickPattern: $(cd pattern && find . -type f)"
run pickMissing 1 extract good.exe -C missing pkg/a.txt pkg/nothing pkg/su
grep -q 'pkg/nothing: not in good.exe' pickMissing.err && grep -q 'pkg/su: not in good.exe' pickMissing.err ||
  fail "pickMissing: the unknown names are not all named: $(cat pickMissing.err)"
[ -e missing ] && fail "pickMissing: something was extracted"
run loud 0 extract good.exe -C loud
grep -q 'extracted 4 files' loud.err || fail "loud: no summary on stderr"
[ -s loud.out ] && fail "loud: talk on stdout"

run version 0 --version
grep -q -E '^kaito [0-9]+\.[0-9]+\.[0-9]+' version.out || fail "--version: $(cat version.out)"
finish
