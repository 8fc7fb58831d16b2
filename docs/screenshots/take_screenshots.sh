#!/usr/bin/env bash
# Takes the dialog screenshots in this folder: each dialog run by the test
# host (renamed setup.exe) and cropped to the window's rectangle.  Wine draws
# window frames only in a virtual desktop, which is a prefix setting, so this
# runs in a private copy of the project prefix with the desktop turned on.
#   docs/screenshots/take_screenshots.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$root/build}"
out="$root/docs/screenshots"
shots_prefix="$(mktemp -d)/prefix"
cp -a "$root/build/wineprefix" "$shots_prefix"
rm -f "$shots_prefix/wineserver"
export KAITO_WINEPREFIX="$shots_prefix"
source "$root/scripts/wine-env.sh"
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null
# Wine's stand-in for "ＭＳ Ｐゴシック" is a wide fixed-pitch face that clips
# the template's texts; the proportional IPA P Gothic has Windows' metrics.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >/dev/null
wineserver -w
source "$root/scripts/xvfb-env.sh"
kaito_start_xvfb
work="$(mktemp -d)"
cp "$build/win32/tests/ui/dialog_host.exe" "$work/setup.exe"
probe() { timeout 120 wine "$build/win32/tests/ui/window_probe.exe" "$@"; }

# Crops the root window to the selected dialog's rectangle.
shoot() {
  local file="$1"
  shift
  read -r l t r b < <(probe "$@" rect)
  sleep 0.5  # let the last paint reach the X server; only the picture depends on it
  import -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage "$out/$file"
  echo "wrote $out/$file"
}

run() { wine "$work/setup.exe" "$@" >/dev/null 2>&1 & }

run destination 5001708
shoot destination.png find-control 1004 30000
probe find-control 1004 10000 click 2 wait-gone 10000

run progress 'c:docs\manual.txt;o:C:\Program Files\kaito\docs\manual.txt;p:40;n:400'
shoot overwrite.png find-control 1011 30000
probe find-control 1011 10000 click 1 wait-gone 10000
shoot progress.png find-control 1006 30000 wait-caption-end "x:$(printf 'の解凍中...' | xxd -p | tr -d '\n')" 20000
probe find-control 1006 10000 click 2 wait-gone 60000

run progress 'n:2'
shoot completion.png find-control 65535 30000
probe find-control 65535 10000 click 1 wait-gone 10000

run progress 'c:data\big.bin;a:5'
shoot alert.png find-control 65535 30000
probe find-control 65535 10000 click 1 wait-gone 10000
# A real self-extracting file with its own icon (a star drawn here) and
# version record: the destination dialog shows the icon in its title bar.
convert -size 256x256 xc:none -fill '#2a7de1' -draw "roundrectangle 8,8 248,248 40,40" -fill '#ffd21f' \
  -draw "polygon 128,36 154,104 226,104 168,148 190,218 128,176 66,218 88,148 30,104 102,104" "$work/star.png"
for side in 16 32 48; do convert "$work/star.png" -resize "${side}x$side" "$work/star$side.png"; done
convert "$work/star16.png" "$work/star32.png" "$work/star48.png" "$work/star.ico"
mkdir -p "$work/payload/star-app" && echo "readme" >"$work/payload/star-app/readme.txt"
"$build/bin/kaito" create --quiet -o "$work/star-setup.exe" --icon "$work/star.ico" \
  --version-info ProductName="Star App" --version-info FileVersion=2.0 -C "$work/payload" star-app >/dev/null
wine "$work/star-setup.exe" >/dev/null 2>&1 &
shoot custom-icon.png find-control 1004 30000
probe find-control 1004 10000 click 2 wait-gone 10000

wineserver -k 2>/dev/null || true  # the private prefix's server (its desktop never exits)
rm -rf "$work" "$(dirname "$shots_prefix")"
