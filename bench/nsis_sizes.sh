#!/usr/bin/env bash
# What makensis makes of each class of the corpus: prints one line per class
# (class, then the bytes of data of zlib, bzip2 and LZMA with each file
# compressed on its own, and of LZMA over all files as one stream), for
# kaito_bench --nsis.  The data's bytes are the installer's size less that of
# the same installer with no files.
#   bench/nsis_sizes.sh CORPUS WORK
# Files compressed one by one is how kaito packs them (one block per file,
# decoded one at a time), so those are the sizes set against ours; the solid
# LZMA figure shows what a packager gains who can compress all files as one.
set -euo pipefail
mkdir -p "$2"
corpus="$(realpath "$1")"
work="$(realpath "$2")"  # makensis takes paths in a script as relative to the script

installer_size() {  # COMPRESSOR [FOLDER]: the size of a silent installer of FOLDER's files
  local script="$work/installer.nsi"
  {
    echo 'Unicode true'
    echo 'Name "kaito-bench"'
    echo "OutFile \"$work/installer.exe\""
    echo "SetCompressor $1"
    echo 'SilentInstall silent'
    echo 'RequestExecutionLevel user'
    echo 'InstallDir "$TEMP\kaito-bench"'
    echo 'Section'
    echo '  SetOutPath "$INSTDIR"'
    [ -z "${2:-}" ] || echo "  File /r \"$2/*\""
    echo 'SectionEnd'
  } >"$script"
  makensis -V1 "$script" >/dev/null
  stat -c %s "$work/installer.exe"
}

compressors=(zlib bzip2 lzma "/SOLID lzma")
declare -A empty
for compressor in "${compressors[@]}"; do empty[$compressor]="$(installer_size "$compressor")"; done
for folder in "$corpus"/*/; do
  class="$(basename "$folder")"
  line="$class"
  for compressor in "${compressors[@]}"; do
    line="$line"$'\t'"$(( $(installer_size "$compressor" "${folder%/}") - empty[$compressor] ))"
  done
  echo "$line"
done
