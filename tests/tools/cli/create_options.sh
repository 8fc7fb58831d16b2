#!/usr/bin/env bash
# create's options and refusals: -o naming an input, --run naming no packed
# file, --exclude, -T lists, --store-ext, --quiet, --mtime, SOURCE_DATE_EPOCH
# (two copies of a tree give the same bytes) and the stub memory warning.
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"

mkdir -p src/pkg/setup src/pkg/docs src/pkg/.git
for i in $(seq 1 300); do echo "line $i"; done >src/pkg/a.txt
printf 'program' >src/pkg/setup/install.exe
printf 'notes' >src/pkg/docs/notes.md
printf 'object' >src/pkg/docs/x.o
printf 'git' >src/pkg/.git/HEAD
for i in $(seq 1 100); do echo "not really an image $i"; done >src/pkg/pic.png

# -o naming one of the inputs: refused, the input untouched.
cp src/pkg/a.txt keep.txt
run outIsInput 1 create -o src/pkg/a.txt src/pkg/a.txt src/pkg/docs
expect_error outIsInput "is the output file"
cmp -s src/pkg/a.txt keep.txt || fail "outIsInput: the input was overwritten"

# --run must name a packed file; '/' works as well as '\'.
run runTypo 1 create -o r.exe --run pkg/setup/instal.exe src/pkg
expect_error runTypo "no packed file has this name"
[ -e r.exe ] && fail "runTypo: output written"
run runSlash 0 create -o r.exe --quiet --run pkg/setup/install.exe src/pkg
run listRun 0 list r.exe
grep -q 'follow-up program: pkg\\setup\\install.exe' listRun.out || fail "runSlash: follow-up name not stored with '\\'"
run runCase 0 create -o r2.exe --quiet --run 'PKG\Setup\Install.exe' src/pkg

# --quiet silences the summary; without it the summary goes to stderr, not stdout.
run loud 0 create -o loud.exe src/pkg
grep -q "wrote loud.exe" loud.err || fail "loud: no summary on stderr"
[ -s loud.out ] && fail "loud: talk on stdout: $(cat loud.out)"
[ -s runSlash.err ] && fail "runSlash: --quiet still printed: $(cat runSlash.err)"

# --exclude: a bare pattern at any depth, a path pattern from the top.
run exclude 0 create -o ex.exe --quiet --exclude '*.o' --exclude .git --exclude 'pkg/docs/*.md' src/pkg
run listEx 0 list -q ex.exe
grep -q -E 'x\.o|HEAD|notes\.md' listEx.out && fail "exclude: an excluded file was packed: $(cat listEx.out)"
[ "$(wc -l <listEx.out)" -eq 3 ] || fail "exclude: expected a.txt, pic.png and install.exe: $(cat listEx.out)"

# -T: a list from a file, from standard input, NUL-separated.
printf 'src/pkg/a.txt\r\n\nsrc/pkg/setup\n' >list.txt
run listFile 0 create -o t1.exe --quiet -T list.txt
run listT1 0 list -q t1.exe
[ "$(wc -l <listT1.out)" -eq 2 ] || fail "-T FILE: expected 2 entries: $(cat listT1.out)"
printf 'src/pkg/a.txt\0src/pkg/docs/notes.md\0' | "${KAITO[@]}" create -o t2.exe --quiet --null -T - >t2.out 2>t2.err ||
  fail "-T - --null failed: $(cat t2.err)"
run listT2 0 list -q t2.exe
grep -q 'notes.md' listT2.out && grep -q 'a.txt' listT2.out || fail "-T - --null: entries missing: $(cat listT2.out)"
run nullAlone 2 create -o t3.exe --null src/pkg
expect_error nullAlone "--null needs -T"

# --store-ext: '+' adds to the default list, a plain list replaces it.
cp src/pkg/a.txt src/pkg/b.log
run storeAdd 0 create -o s1.exe --quiet --store-ext +log src/pkg
run listS1 0 list s1.exe
grep -q '^stored .*b\.log' listS1.out || fail "--store-ext +log: b.log not stored"
grep -q '^stored .*pic\.png' listS1.out || fail "--store-ext +log: the default list was lost"
run storeReplace 0 create -o s2.exe --quiet --store-ext log src/pkg
run listS2 0 list s2.exe
grep -q '^stored .*b\.log' listS2.out || fail "--store-ext log: b.log not stored"
grep -q '^compressed .*pic\.png' listS2.out || fail "--store-ext log: the default list was kept"
run help 0 create --help
grep -q 'txz,webm,webp,xlsx,xz,zip,zst' help.out || fail "help: the default list is not shown in full"
rm src/pkg/b.log

# --mtime sets both stored times; SOURCE_DATE_EPOCH clamps later times only.
run mtime 0 create -o m.exe --quiet --mtime '2001-02-03 04:05:06' src/pkg
run listM 0 list m.exe
[ "$(grep -c '2001-02-03 04:05:06  2001-02-03 04:05:06' listM.out)" -eq 6 ] || fail "--mtime: times not set: $(cat listM.out)"
run badMtime 2 create -o m2.exe --mtime yesterday src/pkg
expect_error badMtime "--mtime takes"
touch -d '2030-01-01 00:00:00 UTC' src/pkg/a.txt
touch -d '2005-06-07 08:09:10 UTC' src/pkg/pic.png
SOURCE_DATE_EPOCH=1577836800 run clamp 0 create -o c.exe --quiet src/pkg
run listC 0 list c.exe
grep -q '2020-01-01 00:00:00  2020-01-01 00:00:00  pkg.a\.txt' listC.out || fail "clamp: a later time was not clamped: $(cat listC.out)"
grep -q '2005-06-07 08:09:10  2005-06-07 08:09:10  pkg.pic\.png' listC.out || fail "clamp: an earlier time was changed"
SOURCE_DATE_EPOCH=soon run badEpoch 2 create -o c2.exe src/pkg
expect_error badEpoch "SOURCE_DATE_EPOCH must be"

# Two copies of a tree (different birth and change times, different paths) give the same bytes.
mkdir -p elsewhere/deeper
cp -a src/pkg elsewhere/deeper/pkg
SOURCE_DATE_EPOCH=1893456000 run copy1 0 create -o copy1.exe --quiet src/pkg
SOURCE_DATE_EPOCH=1893456000 run copy2 0 create -o copy2.exe --quiet -C elsewhere/deeper pkg
cmp -s copy1.exe copy2.exe || fail "copies of a tree give different files under SOURCE_DATE_EPOCH"

finish
