#!/usr/bin/env bash
# Runs one Win32 program in the project's Wine prefix and passes its exit code
# on: CTest's emulator for the Win32 half.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exec wine "$@"
