#!/usr/bin/env bash
# cmake --install puts kaito, the stub and the manual page in place; the
# manual page is clean roff, and every option that kaito's help lists is in
# both the manual page and the README.
#   install.sh BUILD_DIR SOURCE_DIR
set -u
build="$1" source="$2"
work="$(mktemp -d "${TMPDIR:-/tmp}/kaito-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$work/usr" >"$work/install.log" 2>&1 || fail "cmake --install: $(cat "$work/install.log")"
kaito="$work/usr/bin/kaito"
page="$work/usr/share/man/man1/kaito.1"
"$kaito" --version | grep -q '^kaito ' || fail "the installed kaito does not run"
[ -s "$work/usr/share/kaito/kaito-stub.exe" ] || fail "the stub is not installed"
[ -s "$page" ] || fail "kaito.1 is not installed"
grep -q '@PROJECT_VERSION@' "$page" && fail "kaito.1: the version was not filled in"
warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || fail "kaito.1: groff warns: $warnings"

# A packed file made with the installed stub works like one from the built-in stub.
mkdir -p "$work/src" && printf 'x' >"$work/src/a.txt"
"$kaito" create -q -o "$work/a.exe" --stub "$work/usr/share/kaito/kaito-stub.exe" "$work/src" &&
  "$kaito" test -q "$work/a.exe" || fail "a file made with the installed stub does not test OK"

for command in create list test extract; do
  for option in $("$kaito" "$command" --help | grep -o -E -- '--[a-z][a-z-]+' | sort -u); do
    grep -q -F -- "${option//-/\\-}" "$page" || fail "kaito.1 lacks $command $option"
    grep -q -F -- "$option" "$source/README.md" || fail "README.md lacks $command $option"
  done
done
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
