#!/usr/bin/env bash
# Configures and builds both halves into build/: the host kaito at
# build/bin/kaito, the stub at build/bin/kaito-stub.exe, kaito.exe beside them.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}"
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j "$jobs"
