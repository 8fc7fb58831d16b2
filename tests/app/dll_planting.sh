#!/usr/bin/env bash
# DLL planting: a DLL with a system DLL's name beside the program, loaded by
# name after the stub's restriction of the DLL search, must not be taken.
# Wine prefers its built-in DLLs, so the planted name is asked for
# native-first; a first run without the restriction shows that the plant
# works (it leaves its marker), so the second run's missing marker means the
# restriction held.
#   dll_planting.sh CHILD PLANTED_DLL WORK
set -euo pipefail
child="$1" planted="$2" work="$3"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/wine-env.sh"
library=msimg32.dll  # loaded by name, never by the stub's own imports
export WINEDLLOVERRIDES="${library%.dll}=n,b;$WINEDLLOVERRIDES"

fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work/Downloads"
cp "$child" "$work/Downloads/setup.exe"
cp "$planted" "$work/Downloads/$library"
marker="$work/Downloads/$library.loaded"

got="$(wine "$work/Downloads/setup.exe" unrestricted "$library" | tr -d '\r')"
[ -e "$marker" ] || fail "the planted $library was not loaded even without the restriction (got: $got): the test cannot tell anything"
rm -f "$marker"

got="$(wine "$work/Downloads/setup.exe" restricted "$library" | tr -d '\r')"
[ ! -e "$marker" ] || fail "the planted $library was loaded despite the restriction"
case "${got,,}" in
  *\\system32\\"$library") echo "restricted: $library came from $got" ;;
  *) fail "expected $library from the system folder, got: $got" ;;
esac
