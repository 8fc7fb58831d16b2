#!/usr/bin/env bash
# The benchmark in one command: installs what it needs from Debian by package
# name, lays out the corpus in <build>/bench-corpus, builds kaito_bench
# natively and for i686, and prints
#   - decode MB/s of our decoder, zlib's inflate and libdeflate, per class and
#     in total, with the ratio to inflate (native x86-64, then i686 under Wine);
#   - for every kaito level: size in % of the input, encode MB/s, and the size
#     against gzip -9 and xz -9 of the same files;
#   - the stub's size, and the peak memory of `kaito create` and `kaito
#     extract` on the largest corpus file.
# Figures only: nothing here passes or fails on a speed.  Run it on a quiet
# machine; other load on the machine shows in every figure.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}"
corpus="$build/bench-corpus"

# --- what the corpus and the benchmark need ---------------------------------
# libwine:i386 holds the Windows DLLs (scripts/setup.sh installs it with
# wine32); python3.11-doc the HTML; miscfiles the plain text; zlib1g-dev and
# libdeflate-dev the decoders to compare with; libz-mingw-w64-dev zlib for the
# i686 build; binutils-mingw-w64-i686 the strip for the DLLs.
packages=(libwine:i386 python3.11-doc miscfiles zlib1g-dev libdeflate-dev libz-mingw-w64-dev
          binutils-mingw-w64-i686 gzip xz-utils time)
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

# --- build ----------------------------------------------------------------------
KAITO_BUILD_DIR="$build" "$root/scripts/build.sh" >/dev/null
cmake --build "$build" --target kaito_bench -j 2 >/dev/null
cmake --build "$build/win32" --target kaito_bench -j 2 >/dev/null

# --- figures --------------------------------------------------------------------
echo "kaito benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$root" rev-parse --short HEAD)"
echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "Corpus ($corpus), bytes and gzip -9 / xz -9 sizes:"
awk -F'\t' '{ cmd = "stat -c %s \"" $2 "\""; cmd | getline size; close(cmd);
              printf "  %-7s %-60s %9d  gzip %9d  xz %9d\n", $1, $2, size, $3, $4 }' "$manifest"

echo
echo "== native x86-64 (kaito_bench $manifest) =="
"$build/bench/kaito_bench" "$manifest" 2>/dev/null

echo
echo "== i686 under Wine (kaito_bench.exe $manifest --decode-only; our decoder built as in the stub, -Os) =="
"$root/scripts/wine-run.sh" "$build/win32/bench/kaito_bench.exe" "$manifest" --decode-only 2>/dev/null |
  sed -n '/^Decode speed/,/^Compressed size/p' | sed '$d'

echo
echo "== stub =="
echo "build/bin/kaito-stub.exe: $(stat -c %s "$build/bin/kaito-stub.exe") bytes"

echo
echo "== peak memory on the largest corpus file =="
largest="$(cut -f2 "$manifest" | xargs ls -S | head -n 1)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
peak() {  # prints the maximum resident set size of the command, in KiB
  /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
echo "file: $largest ($(stat -c %s "$largest") bytes)"
echo "kaito create -q (level 6): $(peak "$build/bin/kaito" create -q -o "$work/a.exe" "$largest") KiB"
echo "kaito create -q --level 9: $(peak "$build/bin/kaito" create -q --level 9 -o "$work/b.exe" "$largest") KiB"
mkdir -p "$work/out"
echo "kaito extract --quiet (level 9 file): $(peak "$build/bin/kaito" extract "$work/b.exe" -C "$work/out" --quiet) KiB"
