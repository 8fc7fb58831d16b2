#!/usr/bin/env bash
# Runs a robustness driver with the project's Wine settings and prefix, on
# the display given or a private headless one:
#   with_wine.sh DRIVER.py ARGS...   (the driver gets --prefix PREFIX too)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../../scripts/wine-env.sh"
source "$here/../../scripts/xvfb-env.sh"
if [ -z "${DISPLAY:-}" ]; then kaito_start_xvfb; fi
driver="$1"
shift
python3 "$here/$driver" --prefix "$WINEPREFIX" "$@"
