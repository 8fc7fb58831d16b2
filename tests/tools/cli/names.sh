#!/usr/bin/env bash
# Entry names: a name that code page 932 would change is refused, every bad
# name is reported in one run with its reason and nothing is written, names
# that differ only in case clash for every letter Windows folds; names whose
# output path can pass 259 bytes under a typical destination get a warning
# with the figures, exactly from the first byte past the limit.
source "$(dirname "${BASH_SOURCE[0]}")/cli_lib.sh"

mkdir -p src/pkg
printf 'ok' >src/pkg/ok.txt
printf 'ok' >"src/pkg/日本語.txt"
# Each of these has no exact code page 932 form: the yen sign would become
# '\' (a folder), the others look-alikes or nothing at all.
# The reasons name each character by its code (ASCII, so they read the same
# when kaito.exe writes its messages in code page 932).
bad=("a¥b.txt" "波〜.txt" "x−y.txt" "‖.txt" "‾.txt" "¢.txt" "smile😀.txt")
codes=(U+00A5 U+301C U+2212 U+2016 U+203E U+00A2 U+1F600)
for name in "${bad[@]}"; do printf 'x' >"src/pkg/$name"; done
printf 'x' >src/pkg/Clash.txt
printf 'x' >src/pkg/clash.TXT
printf 'x' >src/pkg/Ａω.txt
printf 'x' >src/pkg/ａΩ.txt
run lossy 1 create -o lossy.exe --quiet src/pkg
for i in "${!bad[@]}"; do
  grep -q -F "(${codes[$i]})" lossy.err || fail "lossy: '${bad[$i]}' (${codes[$i]}) is not reported"
done
# iconv maps the yen sign to '\'; Windows, asked for no best fit, has no code for it.
grep -q -E "\(U\+00A5\) (would become '\\\\' \(U\+005C\)|has no code page 932)" lossy.err ||
  fail "lossy: the yen sign's fate is not said"
grep -q -E "clash.TXT': two entries have the same name .*\('.*Clash.txt'\)" lossy.err ||
  fail "lossy: the clash is not reported with both names"
# Clash.txt and clash.TXT, and Ａω.txt and ａΩ.txt (counted: kaito.exe writes the names in code page 932).
[ "$(grep -c 'two entries have the same name (Windows ignores case)' lossy.err)" -eq 2 ] ||
  fail "lossy: full-width and Greek letters differing in case do not clash: $(cat lossy.err)"
[ "$(grep -c "^kaito: '" lossy.err)" -eq $((${#bad[@]} + 2)) ] || fail "lossy: expected one line per bad name: $(cat lossy.err)"
grep -q "cannot be packed; nothing was written" lossy.err || fail "lossy: no closing line"
[ -e lossy.exe ] && fail "lossy: an output file was written"
[ -e lossy.exe.kaito-partial ] && fail "lossy: a partial file was left"

for name in "${bad[@]}" clash.TXT ａΩ.txt; do rm "src/pkg/$name"; done
run clean 0 create -o clean.exe --quiet src/pkg
run listClean 0 list clean.exe
[ "$(grep -c -E '^(stored|compressed) ' listClean.out)" -eq 4 ] || fail "listClean: expected 4 entries"

# Native names Windows cannot hold are called what they are (Wine shows
# kaito.exe other characters for them), and a control character reaches
# the terminal only as \xNN.
if ! under_wine; then
  mkdir -p odd && printf 'x' >odd/'a:b.txt' && printf 'x' >odd/$'bell\x07.txt'
  run odd 1 create -o odd.exe odd
  grep -q "a:b.txt': entry name holds ':' (U+003A), which Windows does not allow" odd.err ||
    fail "odd: ':' not reported as such: $(cat odd.err)"
  grep -q 'bell\\x07.txt.: entry name holds U+0007' odd.err || fail "odd: the control character: $(cat odd.err)"
  LC_ALL=C grep -q -P '\x07' odd.err && fail "odd: a raw control character reached stderr"
fi

# "long\" (5 bytes) + folder + "\" + file: 210 bytes is the longest safe name
# under C:\Users\<20 characters>\AppData\Local\Temp\ (49 bytes).
folder=$(printf 'd%.0s' $(seq 1 150))
mkdir -p "long/$folder"
file209=$(printf 'f%.0s' $(seq 1 53))
printf 'x' >"long/$folder/$file209"                 # 5 + 150 + 1 + 53 = 209 bytes
printf 'x' >"long/$folder/${file209}g"              # 210 bytes: still fits
printf 'x' >"long/$folder/${file209}gh"             # 211 bytes: one too many
run long 0 create -o long.exe --quiet long
[ "$(grep -c 'warning' long.err)" -eq 1 ] || fail "long: expected exactly one warning: $(cat long.err)"
grep -q "${file209}gh': the name takes 211 bytes, so the output path reaches 260 bytes" long.err ||
  fail "long: the warning lacks the figures: $(cat long.err)"
grep -q 'at most 259 bytes' long.err || fail "long: the warning lacks the limit"
finish
