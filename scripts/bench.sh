#!/usr/bin/env bash
# The benchmark in one command: installs what it needs from Debian by package
# name, lays out the corpus in <build>/bench-corpus, builds kaito_bench
# natively and for i686 and the kaito of an earlier commit (the "before"
# column: KAITO_BENCH_BEFORE, by default the last commit with the 8 KiB
# window), and prints
#   - decode MB/s of our decoder (on level 6 and 9 blocks, and on level 9
#     blocks of the 8 KiB window), zlib's inflate and libdeflate, per class and
#     in total, with the ratio to inflate (native x86-64, then i686 under Wine);
#   - for every kaito level: size in % of the input, encode MB/s, and the size
#     against gzip -9, xz -9 and makensis's zlib, bzip2 and LZMA of the same
#     files;
#   - `kaito create` at every level as a whole process beside the kaito
#     before: size, MB/s and peak memory, on the corpus and on one 60 MB file
#     (and kaito.exe under Wine on that file);
#   - the stub's size.
# Figures only: nothing here passes or fails on a speed.  Run it on a quiet
# machine; other load on the machine shows in every figure.
#   KAITO_BENCH_RUNS   whole-process runs per level and kaito (default 3)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}"
corpus="$build/bench-corpus"

# --- what the corpus and the benchmark need ---------------------------------
# libwine:i386 holds the Windows DLLs (scripts/setup.sh installs it with
# wine32); python3.11-doc the HTML; miscfiles the plain text; zlib1g-dev and
# libdeflate-dev the decoders to compare with; libz-mingw-w64-dev zlib for the
# i686 build; binutils-mingw-w64-i686 the strip for the DLLs; nsis makensis.
packages=(libwine:i386 python3.11-doc miscfiles zlib1g-dev libdeflate-dev libz-mingw-w64-dev
          binutils-mingw-w64-i686 gzip xz-utils time nsis)
"$root/scripts/install-packages.sh" bench "${packages[@]}"

# --- the corpus ---------------------------------------------------------------
wine_dlls=/usr/lib/i386-linux-gnu/wine/i386-windows
python_html=/usr/share/doc/python3.11/html
rm -rf "$corpus"
mkdir -p "$corpus"/{pe,html,text,random}
# PE: Wine's Windows DLLs with their debug information stripped.
for dll in comctl32 kernelbase msvcrt ole32 user32; do
  i686-w64-mingw32-strip --strip-debug -o "$corpus/pe/$dll.dll" "$wine_dlls/$dll.dll"
done
# HTML: pages of the Python 3.11 documentation.
for page in library/os library/stdtypes library/datetime library/typing library/unittest \
            reference/datamodel whatsnew/3.11; do
  cp "$python_html/$page.html" "$corpus/html/$(echo "$page" | tr / -).html"
done
# Plain text: a word list, the Unicode character names, a constitution, a city list.
cp /usr/share/dict/web2 "$corpus/text/web2"
gzip -dc /usr/share/misc/unicode.gz >"$corpus/text/unicode"
gzip -dc /usr/share/state/us-constitution.gz >"$corpus/text/us-constitution"
gzip -dc /usr/share/misc/cities.dat.gz >"$corpus/text/cities.dat"
# Incompressible control: 1 MiB from a seeded generator, the same every run.
python3 -c 'import random, sys; random.seed(20240607); sys.stdout.buffer.write(random.randbytes(1 << 20))' \
  >"$corpus/random/random-1MiB.bin"

manifest="$corpus/manifest.tsv"
: >"$manifest"
for class in pe html text random; do
  for file in "$corpus/$class"/*; do
    printf '%s\t%s\t%s\t%s\n' "$class" "$file" "$(gzip -9 -c "$file" | wc -c)" "$(xz -9 -c "$file" | wc -c)" >>"$manifest"
  done
done

# One large file: Wine's Windows DLLs joined in sorted order and cut at 60 MB
# (head ends cat early on purpose: the pipe's status is not looked at).
large="$build/bench-large/wine-dlls.bin"
mkdir -p "$(dirname "$large")"
(set +o pipefail
 find "$wine_dlls" -name '*.dll' | LC_ALL=C sort | xargs cat 2>/dev/null | head -c 60000000 >"$large")

nsis="$corpus/nsis.tsv"
"$root/bench/nsis_sizes.sh" "$corpus" "$build/bench-nsis-sizes" >"$nsis"

# --- build ----------------------------------------------------------------------
KAITO_BUILD_DIR="$build" "$root/scripts/build.sh" >/dev/null
cmake --build "$build" --target kaito_bench -j 2 >/dev/null
cmake --build "$build/win32" --target kaito_bench -j 2 >/dev/null
# The kaito before: its command alone, from the commit's files, with our stub.
before_commit="$(git -C "$root" rev-parse --short "${KAITO_BENCH_BEFORE:-48592d6}")"
before="$build/bench-before/$before_commit"
if [ ! -x "$before/bin/kaito" ]; then
  rm -rf "$before"
  mkdir -p "$before/src"
  git -C "$root" archive "$before_commit" | tar -x -C "$before/src"
  cmake -S "$before/src" -B "$before/build" -DCMAKE_BUILD_TYPE=Release -DKAITO_WITH_WIN32=OFF -DKAITO_BUILD_TESTS=OFF \
    -DKAITO_STUB_FILE="$build/bin/kaito-stub.exe" -DKAITO_BIN_DIR="$before/bin" >/dev/null
  cmake --build "$before/build" --target kaito -j 2 >/dev/null
fi

# --- figures --------------------------------------------------------------------
echo "kaito benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$root" rev-parse --short HEAD)"
echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$(makensis -VERSION 2>/dev/null | head -n 1 | sed 's/^/makensis /')"
echo
echo "Corpus ($corpus), bytes and gzip -9 / xz -9 sizes:"
awk -F'\t' '{ cmd = "stat -c %s \"" $2 "\""; cmd | getline size; close(cmd);
              printf "  %-7s %-60s %9d  gzip %9d  xz %9d\n", $1, $2, size, $3, $4 }' "$manifest"

echo
echo "== native x86-64 (kaito_bench $manifest --nsis $nsis) =="
"$build/bench/kaito_bench" "$manifest" --nsis "$nsis" 2>/dev/null

echo
echo "== i686 under Wine (kaito_bench.exe $manifest --decode-only; our decoder built as in the stub, -Os) =="
"$root/scripts/wine-run.sh" "$build/win32/bench/kaito_bench.exe" "$manifest" --decode-only 2>/dev/null |
  sed -n '/^Decode speed/,/^Compressed size/p' | sed '$d'

echo
echo "== kaito create, whole process =="
"$root/bench/create_runs.sh" "$build/bin/kaito" "$before/bin/kaito" "$build/bin/kaito.exe" "$corpus" "$large" \
  "$build/bench-create" "${KAITO_BENCH_RUNS:-3}"

echo
echo "== stub =="
echo "build/bin/kaito-stub.exe: $(stat -c %s "$build/bin/kaito-stub.exe") bytes"
