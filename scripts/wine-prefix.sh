#!/usr/bin/env bash
# Creates the project's Wine prefix once: 32-bit, no crash dialog (a crashing
# test program must fail its test instead of waiting on a window).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

stamp="$WINEPREFIX/.kaito-ready-2"
[ -f "$stamp" ] && exit 0

mkdir -p "$(dirname "$WINEPREFIX")"
echo "setup: creating Wine prefix $WINEPREFIX"
wineboot --init >/dev/null 2>&1 || true
wineserver -w
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Headless displays have no window manager: Wine then draws the captions and
# frames itself, so screenshots show the windows as a user sees them.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -w
touch "$stamp"
