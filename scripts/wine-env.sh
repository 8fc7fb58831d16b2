# Sourced by every script that runs Win32 programs: the project's own 32-bit
# Wine prefix in Japanese (code page 932), never the user's ~/.wine.
kaito_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${KAITO_WINEPREFIX:-$kaito_root/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL=ja_JP.UTF-8
