#!/usr/bin/env bash
# Creates the project's Wine prefix once: 32-bit, no crash dialog (a crashing
# test program must fail its test instead of waiting on a window).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

stamp="$WINEPREFIX/.kaito-ready-3"
[ -f "$stamp" ] && exit 0

mkdir -p "$(dirname "$WINEPREFIX")"
echo "setup: preparing Wine prefix $WINEPREFIX"
# wineboot returns once the prefix exists; the registry changes below go to
# the same wineserver, which writes them out when it ends.  (Waiting for the
# server to end would wait for every other Wine program using the prefix.)
timeout 300 wineboot --init >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Headless displays have no window manager: Wine then draws the captions and
# frames itself, so screenshots show the windows as a user sees them.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# The dialogs ask for "ＭＳ Ｐゴシック"; the proportional IPA P Gothic has its
# metrics, where Wine's default stand-in is wider and clips the texts.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
touch "$stamp"
