#!/usr/bin/env bash
# create's options and refusals: -o naming an input, --run naming no packed
# file or one the stub cannot start, --cleanup, --exclude (case and sets as
# Windows matches names), -T lists as tar reads them, --no-recursion,
# --store-ext, options given twice, --quiet, --mtime, SOURCE_DATE_EPOCH (two
# copies of a tree, or the inputs in any order, give the same bytes).
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"

mkdir -p src/pkg/setup src/pkg/docs src/pkg/.git
for i in $(seq 1 300); do echo "line $i"; done >src/pkg/a.txt
make_program src/pkg/setup/install.exe
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

# --run takes only what the stub can start: Windows programs and batch files.
mkdir -p kinds/k
make_program kinds/k/setup.exe
cp kinds/k/setup.exe kinds/k/setup
printf '\x02\x21' | dd of=kinds/k/setup.exe bs=1 seek=86 conv=notrunc status=none 2>/dev/null
cp kinds/k/setup.exe kinds/k/helper.dll
make_program kinds/k/setup.exe
{ printf 'MZ'; head -c 62 /dev/zero; } >kinds/k/dos.com
printf '@echo off\r\n' >kinds/k/go.cmd
printf 'x' >kinds/k/setup.msi
for kind in "readme:a.txt:not a program the stub can start" "msi:setup.msi:a Windows Installer package is no program" \
  "dll:helper.dll:a DLL, not a program" "dos:dos.com:a DOS program" "bare:setup:a name without an extension"; do
  IFS=: read -r label file reason <<<"$kind"
  printf 'text' >kinds/k/a.txt
  run "runKind-$label" 1 create -o k.exe --run "k/$file" kinds/k
  expect_error "runKind-$label" "--run k/$file: $reason"
done
run runKindCmd 0 create -o k.exe --quiet --run k/go.cmd kinds/k

# --cleanup: only with --auto and --run; then the header asks for the wrapper.
run cleanupAlone 2 create -o w.exe --cleanup src/pkg
expect_error cleanupAlone "--cleanup needs both --auto and --run PROGRAM (missing: --auto and --run)"
run cleanupNoRun 2 create -o w.exe --auto --cleanup src/pkg
expect_error cleanupNoRun "(missing: --run)"
run cleanupNoAuto 2 create -o w.exe --run pkg/setup/install.exe --cleanup src/pkg
expect_error cleanupNoAuto "(missing: --auto)"
run wrapper 0 create -o w.exe --quiet --auto --run pkg/setup/install.exe --cleanup src/pkg
run listWrapper 0 list w.exe
grep -q '^automatic mode: yes, installer wrapper' listWrapper.out || fail "wrapper: list does not say so"
grep -q '^execution level: asInvoker' listWrapper.out || fail "wrapper: the stub's level is not shown"
run jsonWrapper 0 list --json w.exe
grep -q '"automaticMode": true,' jsonWrapper.out && grep -q '"cleanup": true,' jsonWrapper.out &&
  grep -q '"executionLevel": "asInvoker",' jsonWrapper.out || fail "wrapper: JSON fields: $(cat jsonWrapper.out)"
run jsonPlain 0 list --json r.exe
grep -q '"cleanup": false,' jsonPlain.out || fail "plain: cleanup is not false"
od -An -tu2 -j $(( $(od -An -tu4 -j $(( $(wc -c <w.exe) - 4 )) -N4 w.exe) + 6 )) -N2 w.exe | grep -q -w 2 ||
  fail "wrapper: automaticMode is not 2"
run badLevel 2 create -o w.exe --execution-level admin src/pkg
expect_error badLevel "--execution-level takes asInvoker, highestAvailable or requireAdministrator"

# --quiet silences the summary; without it the summary goes to stderr, not stdout.
run loud 0 create -o loud.exe src/pkg
grep -q "wrote loud.exe" loud.err || fail "loud: no summary on stderr"
[ -s loud.out ] && fail "loud: talk on stdout: $(cat loud.out)"
[ -s runSlash.err ] && fail "runSlash: --quiet still printed: $(cat runSlash.err)"

# --exclude: a bare pattern at any depth, a path pattern from the top; case
# ignored; a folder it empties is called so.
run exclude 0 create -o ex.exe --quiet --exclude '*.O' --exclude .GIT --exclude 'PKG/docs/*.md' src/pkg
run listEx 0 list -q ex.exe
grep -q -E 'x\.o|HEAD|notes\.md' listEx.out && fail "exclude: an excluded file was packed: $(cat listEx.out)"
[ "$(wc -l <listEx.out)" -eq 3 ] || fail "exclude: expected a.txt, pic.png and install.exe: $(cat listEx.out)"
run excludeAll 0 create -o ex2.exe --exclude '*.o' --exclude '*.md' src/pkg
grep -q "skipping folder 'src.pkg.docs': --exclude leaves no file in it" excludeAll.err ||
  fail "excludeAll: $(cat excludeAll.err)"
# Sets hold characters: [日]* leaves out 日x.txt but keeps 本本.txt, whose first UTF-8 byte is 日's.
mkdir -p sets && printf 'x' >sets/日x.txt && printf 'x' >sets/本本.txt
run excludeSet 0 create -o set.exe --quiet --exclude '[日]*' sets
run listSet 0 list -q set.exe
[ "$(wc -l <listSet.out)" -eq 1 ] || fail "excludeSet: expected only 本本.txt: $(cat listSet.out)"
run excludeEmpty 2 create -o set.exe --exclude '' sets
expect_error excludeEmpty "--exclude '': no pattern to match"

# -T: a list from a file (a byte order mark skipped), from standard input,
# NUL-separated; each line keeps its path as written.
printf '\xEF\xBB\xBFsrc/pkg/a.txt\r\n\nsrc/pkg/setup\n' >list.txt
run listFile 0 create -o t1.exe --quiet -T list.txt
run listT1 0 list -q t1.exe
[ "$(wc -l <listT1.out)" -eq 2 ] || fail "-T FILE: expected 2 entries: $(cat listT1.out)"
grep -q -E $' src\\\\pkg\\\\a\\.txt\r?$' listT1.out && grep -q -E $' src\\\\pkg\\\\setup\\\\install\\.exe\r?$' listT1.out ||
  fail "-T FILE: names not as written: $(cat listT1.out)"
# The man page's find example: a folder's line and its files' lines give each file once.
find src/pkg -print0 | "${KAITO[@]}" create -o t4.exe --quiet --null -T - >t4.out 2>t4.err || fail "find list: $(cat t4.err)"
run listT4 0 list -q t4.exe
[ "$(wc -l <listT4.out)" -eq 6 ] || fail "find list: expected the 6 files once each: $(cat listT4.out)"
find src/pkg -print0 | "${KAITO[@]}" create -o t5.exe --quiet --no-recursion --null -T - >t5.out 2>t5.err ||
  fail "find list --no-recursion: $(cat t5.err)"
run listT5 0 list -q t5.exe
cmp -s listT4.out listT5.out || fail "--no-recursion: the files named one by one differ from the walk"
run noRecursion 1 create -o t6.exe --no-recursion src/pkg
expect_error noRecursion "nothing to pack"
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
run storeReplace 0 create -o s2.exe --quiet --store-ext ' .LOG, tar.gz' src/pkg
run listS2 0 list s2.exe
grep -q '^stored .*b\.log' listS2.out || fail "--store-ext log: b.log not stored"
grep -q '^compressed .*pic\.png' listS2.out || fail "--store-ext log: the default list was kept"
run storeGlob 2 create -o s3.exe --store-ext '*.dll' src/pkg
expect_error storeGlob "'\*.dll' is not an extension"
run storeEmptyItem 2 create -o s3.exe --store-ext 'zip,,dll' src/pkg
expect_error storeEmptyItem "an empty item"
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

# Notes name tidy paths (no "c1/./empty") and call a dangling link so (Wine
# shows kaito.exe no dangling links); the summary counts "1 file".
mkdir -p notes/c1/empty notes/c1/full && printf 'x' >notes/c1/full/a
under_wine || ln -s nowhere notes/c1/full/dangling
run notes 0 create -o n.exe -C notes/c1 .
grep -q "skipping empty folder 'notes.c1.empty'" notes.err || fail "notes: $(cat notes.err)"
under_wine || grep -q "skipping 'notes/c1/full/dangling': a link to nothing" notes.err || fail "notes: $(cat notes.err)"
grep -q "wrote n.exe: 1 file (1 stored), 1 byte packed" notes.err || fail "notes: $(cat notes.err)"

# Options that take one value refuse a second.
run runTwice 2 create -o x.exe --run a --run b src/pkg
expect_error runTwice "--run given twice ('a' and 'b')"

# Two copies of a tree (different birth and change times, different paths) give the same bytes,
# and so do the inputs in any order.
mkdir -p elsewhere/deeper
cp -a src/pkg elsewhere/deeper/pkg
SOURCE_DATE_EPOCH=1893456000 run copy1 0 create -o copy1.exe --quiet src/pkg
SOURCE_DATE_EPOCH=1893456000 run copy2 0 create -o copy2.exe --quiet -C elsewhere/deeper pkg
cmp -s copy1.exe copy2.exe || fail "copies of a tree give different files under SOURCE_DATE_EPOCH"
SOURCE_DATE_EPOCH=1893456000 run order1 0 create -o order1.exe --quiet -C src pkg/docs pkg/a.txt pkg/setup
SOURCE_DATE_EPOCH=1893456000 run order2 0 create -o order2.exe --quiet -C src pkg/setup pkg/a.txt pkg/docs
cmp -s order1.exe order2.exe || fail "the order of the inputs changed the file"
run order3 0 list -q order1.exe
[ "$(awk '{print $NF}' order3.out | tr -d '\r' | tr '\n' ' ')" = 'pkg\a.txt pkg\docs\notes.md pkg\docs\x.o pkg\setup\install.exe ' ] ||
  fail "entries not in name order: $(cat order3.out)"

finish
