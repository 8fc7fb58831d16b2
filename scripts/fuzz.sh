#!/usr/bin/env bash
# Long fuzz runs: builds the fuzz targets with clang, libFuzzer, ASan and UBSan
# into build-fuzz/ and runs them one after another at the lowest priority.
# New inputs collect in build-fuzz/corpus/TARGET and survive between runs; a
# crash, a leak, a hang (10 s per input) or a violated property stops the run
# and leaves its input in fuzz/crashes/TARGET/, where the replay tests of the
# ordinary test command pick it up.  The exit status is non-zero when any
# target found one.  Options: see usage below (scripts/fuzz.sh -h).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_FUZZ_BUILD_DIR:-$root/build-fuzz}"
compiler_flags=""
artifact_label=""
all_targets=(block_decoder block_stream encoder_roundtrip container extract pe_locator stub_branding manifest_level
             command_line)

usage() {
  cat <<'EOF'
usage: scripts/fuzz.sh [options] [TARGET...]      (no TARGET: every target)
  -t SECONDS   run time per target (default 600)
  -s           save: add to fuzz/corpus/TARGET the inputs of this and
               earlier runs that add coverage
  -l           list the targets and stop
  -3           build and run the 32-bit (i686) variant in build-fuzz32: the
               stub's own word size, where the block decoder takes its
               32-bit paths (installs libc6-dev-i386 and lib32stdc++-12-dev
               when they are missing)
  -h           show this text
  -- ARGS      further libFuzzer options, e.g. -- -jobs=2 -workers=2
EOF
}

seconds=600
save=0
while getopts "t:sl3h" option; do
  case "$option" in
    3) build="${KAITO_FUZZ_BUILD_DIR:-$root/build-fuzz32}"; compiler_flags="-m32"; artifact_label="i686-" ;;
    t) seconds="$OPTARG" ;;
    s) save=1 ;;
    l) printf '%s\n' "${all_targets[@]}"; exit 0 ;;
    h) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do targets+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift
extra=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
  printf '%s\n' "${all_targets[@]}" | grep -qx "$target" || { echo "fuzz: unknown target $target" >&2; exit 2; }
done

# The 32-bit variant links against the i386 C and C++ libraries.
[ -z "$compiler_flags" ] || "$root/scripts/install-packages.sh" fuzz libc6-dev-i386 g++-multilib

CC="clang $compiler_flags" CXX="clang++ $compiler_flags" cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKAITO_WITH_WIN32=OFF -DKAITO_SANITIZE=ON -DKAITO_FUZZ=ON \
  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
nice -n 19 cmake --build "$build" -j 2 --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=0
for target in "${targets[@]}"; do
  seeds="$root/fuzz/corpus/$target"
  found="$build/corpus/$target"
  crashes="$root/fuzz/crashes/$target"
  mkdir -p "$found" "$crashes"
  echo "fuzz: $target for ${seconds}s"
  # New inputs go to the first folder; the committed seeds are only read.
  if ! nice -n 19 "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$crashes/$artifact_label" "${extra[@]}" "$found" "$seeds"; then
    echo "fuzz: $target failed; its input is in $crashes/" >&2
    failed=1
    continue
  fi
  if [ "$save" -eq 1 ]; then
    # Adds to the committed seeds only the found inputs that add coverage.
    before=$(ls "$seeds" | wc -l)
    nice -n 19 "$build/fuzz/fuzz_$target" -merge=1 "$seeds" "$found" 2>/dev/null
    echo "fuzz: $target corpus: $before -> $(ls "$seeds" | wc -l) files, $(du -sh "$seeds" | cut -f1)"
  fi
done
[ -d "$root/fuzz/crashes" ] && rmdir "$root"/fuzz/crashes/* 2>/dev/null || true
exit "$failed"
