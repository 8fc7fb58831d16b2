#!/usr/bin/env bash
# Runs an automatic-mode self-extracting file under Wine on the current
# (headless) display: waits for its completion message, takes a screenshot,
# presses OK and checks that the stub ended with exit code 0.
#   run-sfx.sh FILE.exe [SCREENSHOT.png]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}"
sfx="$1"
shot="${2:-}"
probe="$build/win32/tests/ui/window_probe.exe"
[ -f "$probe" ] || { echo "run-sfx: no window probe at $probe (build first)" >&2; exit 1; }
source "$root/scripts/wine-env.sh"

name="$(basename "$sfx")"
# Message boxes carry "<program file>の解凍" as their caption.
caption_hex="x:$(printf '%sの解凍' "$name" | od -An -tx1 | tr -d ' \n')"

timeout 120 wine "$sfx" &
stub=$!
if ! message="$(timeout 90 wine "$probe" find "$caption_hex" 60000 text 65535 | tr -d '\r')"; then
  kill "$stub" 2>/dev/null || true
  echo "run-sfx: no completion message from $name" >&2
  exit 1
fi
echo "stub says: $message"
if [ -n "$shot" ]; then
  sleep 0.5
  import -window root "$shot" 2>/dev/null || true
fi
timeout 60 wine "$probe" find "$caption_hex" 10000 click 1 >/dev/null
rc=0
wait "$stub" || rc=$?
echo "stub exit code: $rc"
[ "$rc" -eq 0 ]
