#!/usr/bin/env bash
# Installs what kaito needs to build and test, idempotently, from Debian
# packages, and prepares the project's own Wine prefix.  Safe to run again:
# nothing is installed or written when it is already in place.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  cmake make g++ clang libclang-rt-dev googletest python3 python3-pefile python3-xxhash file groff-base
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386 fonts-wine xvfb xdotool imagemagick x11-utils fonts-ipafont-gothic locales
  osslsigncode openssl
)

"$here/scripts/install-packages.sh" setup "${packages[@]}"

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# Japanese locale: Wine then runs with code page 932 and Japanese command-line
# arguments reach Win32 programs intact.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  "${sudo_cmd[@]}" sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi

"$here/scripts/wine-prefix.sh"
