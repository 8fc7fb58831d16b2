#!/usr/bin/env bash
# The main job: builds kaito, packs the built-in sample into a self-extracting
# file, runs it under Wine on a private headless display in automatic mode,
# and shows what it extracted.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAITO_BUILD_DIR:-$root/build}"
out="$build/demo"

source "$root/scripts/setup-first.sh"
"$root/scripts/build.sh"

rm -rf "$out" && mkdir -p "$out"
kaito="$build/bin/kaito"
echo "== kaito create (automatic mode)"
"$kaito" create --quiet --auto -o "$out/sample-setup.exe" "$root/sample/kaito-sample"
ls -l "$out/sample-setup.exe"
echo "== kaito list"
"$kaito" list "$out/sample-setup.exe"
echo "== kaito test"
"$kaito" test "$out/sample-setup.exe"

source "$root/scripts/wine-env.sh"
source "$root/scripts/xvfb-env.sh"
kaito_start_xvfb
# Bring the prefix's desktop up first: in a fresh prefix the first window can take a while.
timeout 600 wine "$build/win32/tests/support/wine_warmup.exe" >/dev/null 2>&1 || true

# Automatic mode extracts into the Windows temporary folder; the stub ends
# with the completion message, which the window probe answers.
temp_dir="$WINEPREFIX/drive_c/users/$(id -un)/Temp"
rm -rf "$temp_dir/kaito-sample"
echo "== running sample-setup.exe under Wine (headless)"
"$root/scripts/run-sfx.sh" "$out/sample-setup.exe" "$out/completion.png"
echo "== extracted into C:\\users\\$(id -un)\\Temp\\kaito-sample"
(cd "$temp_dir" && find kaito-sample -type f -exec ls -l --time-style=+%Y-%m-%d_%H:%M {} + | awk '{print $5, $6, $7}')
if diff -r "$root/sample/kaito-sample" "$temp_dir/kaito-sample" >/dev/null; then
  echo "== the extracted tree is identical to sample/kaito-sample"
else
  echo "== the extracted tree DIFFERS from sample/kaito-sample" >&2
  exit 1
fi
echo "screenshot of the completion message: $out/completion.png; dialog screenshots: docs/screenshots/"
