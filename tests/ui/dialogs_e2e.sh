#!/usr/bin/env bash
# Protects the dialogs as a user meets them: runs each dialog in dialog_host
# under Wine (with a scripted worker) and drives it through window_probe,
# reading back captions, texts, states and rectangles and pressing buttons.
#   dialogs_e2e.sh DIALOG_HOST.exe WINDOW_PROBE.exe
set -uo pipefail
host_exe="$1"
probe_exe="$2"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/wine-env.sh"
if [ -z "${DISPLAY:-}" ]; then
  source "$root/scripts/xvfb-env.sh"
  kaito_start_xvfb
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"; [ -n "${kaito_xvfb_pid:-}" ] && kill "$kaito_xvfb_pid" 2>/dev/null' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$2" == "$3" ] || fail "$1: expected [$3], got [$2]"; }
hex() { printf '%s' "$1" | xxd -p | tr -d '\n' | sed 's/^/x:/'; }

# One probe run, repeated when Wine stalls it (a probe that starts while
# another Wine process is starting can hang for many seconds).
probe() {
  local attempt out rc
  for attempt in 1 2 3; do
    out="$(timeout 120 wine "$probe_exe" "$@")"
    rc=$?
    [ $rc -ne 124 ] && break
    echo "probe stalled, retrying: $*" >&2
  done
  printf '%s' "$out"
  return $rc
}

host_pid=""
start_host() {
  wine "$host_exe" "$@" >"$work/host.out" 2>"$work/host.err" &
  host_pid=$!
}
# Waits for the host to end by itself (no dialog or message left open).
finish_host() {
  local waited=0
  while kill -0 "$host_pid" 2>/dev/null; do
    sleep 0.2
    waited=$((waited + 1))
    if [ $waited -gt 300 ]; then
      fail "$1: host still running (a window left open?)"
      kill "$host_pid"
      break
    fi
  done
  wait "$host_pid" 2>/dev/null
  tr -d '\r' <"$work/host.out"
}
value() { grep "^$1=" <<<"$2" | head -1 | cut -d= -f2-; }

name="$(basename "$host_exe")"
alert_caption="${name}の解凍"

# Destination dialog: texts, caption, preset folder, checkbox, centring, Extract.
start_host destination 5001708
read -r -d '' got < <(probe find-control 1004 30000 caption text 1004 text 1002 checked 1003 enabled 1 rect)
mapfile -t lines <<<"$got"
expect_eq "destination caption" "${lines[0]}" "ファイルの解凍 [$name]"
expect_eq "destination text" "${lines[1]}" "${name}を以下のフォルダに解凍します\\n（約4.77ＭＢの空き容量が必要です）"
[[ "${lines[2]}" =~ ^C:\\.*\\$ ]] || fail "preset folder [${lines[2]}] is not the temporary folder"
expect_eq "checkbox ticked at start" "${lines[3]}" "1"
expect_eq "extract enabled at start" "${lines[4]}" "1"
read -r left top right bottom <<<"${lines[5]}"
expect_eq "centred horizontally" "$left" "$(((1024 - (right - left)) / 2))"
expect_eq "centred vertically" "$top" "$(((768 - (bottom - top)) / 2))"
probe find-control 1004 10000 set-text 1002 'C:\DATA' click 1 wait-gone 10000 >/dev/null
out="$(finish_host "extract C:\\DATA")"
expect_eq "end value on Extract" "$(value end "$out")" "1"
expect_eq "C:\\DATA gets a backslash" "$(value DestDir "$out")" 'C:\DATA\'
expect_eq "ticked checkbox skips prompts" "$(value SkipOverwritePrompt "$out")" "1"

# No required size: one line.  A folder ending in a backslash stays as typed.
start_host destination 0
got="$(probe find-control 1004 30000 text 1004 set-text 1002 'C:\DATA\' click 1 wait-gone 10000)"
expect_eq "one-line text" "$got" "${name}を以下のフォルダに解凍します"
out="$(finish_host "extract C:\\DATA\\")"
expect_eq "C:\\DATA\\ stays" "$(value DestDir "$out")" 'C:\DATA\'

# A folder without a backslash gets one; unticking the checkbox turns prompts on.
start_host destination
got="$(probe find-control 1004 30000 set-text 1002 DATA click 1003 wait-checked 1003 0 5000 checked 1003)"
expect_eq "checkbox unticked" "$got" "0"
probe find-control 1004 10000 click 1 wait-gone 10000 >/dev/null
out="$(finish_host "extract DATA")"
expect_eq "DATA gets a backslash" "$(value DestDir "$out")" 'DATA\'
expect_eq "unticked checkbox asks" "$(value SkipOverwritePrompt "$out")" "0"

# An emptied field disables Extract; an Extract that arrives anyway gives an empty DestDir.
start_host destination
probe find-control 1004 30000 set-text 1002 "" wait-enabled 1 0 5000 set-text 1002 X wait-enabled 1 1 5000 \
  set-text 1002 "" wait-enabled 1 0 5000 command 1 wait-gone 10000 >/dev/null ||
  fail "Extract not disabled and re-enabled with the field's text"
out="$(finish_host "empty field")"
expect_eq "empty DestDir stays empty" "$(value DestDir "$out")" ""

# The close box ends with 2 and leaves the prompts off.
start_host destination
probe find-control 1004 30000 click 1003 close wait-gone 10000 >/dev/null
out="$(finish_host "close box")"
expect_eq "close box end value" "$(value end "$out")" "2"
expect_eq "close leaves SkipOverwritePrompt 1" "$(value SkipOverwritePrompt "$out")" "1"

# Overwrite question during extraction: caption, path, centred over the
# progress dialog; Esc leaves it open; the three buttons answer.
start_host progress 'c:a.txt;o:C:\DEST\a.txt;p:33;c:b.txt;o:C:\DEST\b.txt;p:67;c:c.txt;o:C:\DEST\c.txt;p:100'
got="$(probe find-control 1011 30000 caption text 1011 rect)"
mapfile -t lines <<<"$got"
expect_eq "question caption" "${lines[0]}" "$alert_caption"
expect_eq "question path" "${lines[1]}" 'C:\DEST\a.txt'
progress_rect="$(probe find-control 1006 10000 rect)"
read -r pl pt pr pb <<<"$progress_rect"
read -r ql qt qr qb <<<"${lines[2]}"
expect_eq "question centred over progress (x)" "$ql" "$((pl + ((pr - pl) - (qr - ql)) / 2))"
expect_eq "question centred over progress (y)" "$qt" "$((pt + ((pb - pt) - (qb - qt)) / 2))"
probe find-control 1011 10000 click 1 wait-gone 10000 >/dev/null
probe find-control 1011 30000 wait-text 1011 'C:\DEST\b.txt' 10000 key-esc click 1010 wait-gone 10000 >/dev/null
probe find-control 1011 30000 wait-text 1011 'C:\DEST\c.txt' 10000 click 1008 wait-gone 10000 >/dev/null
probe find-control 65535 30000 click 1 >/dev/null  # the completion message
out="$(finish_host "overwrite questions")"
expect_eq "answers Overwrite, (Esc ignored) Overwrite all, Abort" "$(value answers "$out")" "1,1010,1008,"

# Abort, Esc and the close box during a long run: no message, end value 2.
for how in "click 2" "key-esc" "close"; do
  start_host progress 'n:400'
  # shellcheck disable=SC2086
  probe find-control 1006 30000 wait-caption-end "$(hex "の解凍中...")" 20000 $how >/dev/null ||
    fail "$how: progress caption not seen"
  out="$(finish_host "abort by $how")"
  expect_eq "$how: not done" "$(value done "$out")" "0"
  expect_eq "$how: Result Cancelled" "$(value Result "$out")" "2"
done

# Completion with the bar at 100 %.
start_host progress 'n:3'
got="$(probe find-control 65535 30000 caption text 65535)"
mapfile -t lines <<<"$got"
expect_eq "completion caption" "${lines[0]}" "$alert_caption"
expect_eq "completion text" "${lines[1]}" "ファイルの解凍を完了しました"
got="$(probe find-control 1006 10000 text 1007 caption)"
mapfile -t lines <<<"$got"
expect_eq "percent text at completion" "${lines[0]}" "100%"
expect_eq "caption at completion" "${lines[1]}" "file3.txtの解凍中..."
probe find-control 65535 10000 click 1 wait-gone 10000 >/dev/null
out="$(finish_host completion)"
expect_eq "completed run" "$(value done "$out")/$(value Result "$out")" "1/1"

# An empty archive: completion at "0%", caption never set.
start_host progress ''
probe find-control 65535 30000 >/dev/null
got="$(probe find-control 1006 10000 text 1007 caption)"
mapfile -t lines <<<"$got"
expect_eq "empty run percent" "${lines[0]}" "0%"
expect_eq "empty run caption" "${lines[1]:-}" ""
probe find-control 65535 10000 click 1 wait-gone 10000 >/dev/null
out="$(finish_host "empty run")"
expect_eq "empty run done" "$(value done "$out")" "1"

# A named follow-up program: success without the completion message.
start_host progress 'f:setup.exe;n:1'
out="$(finish_host "follow-up")"
expect_eq "follow-up run done" "$(value done "$out")" "1"

# Every alert's message box, in order; a code outside 1..9 shows nothing.
alerts=(
  "ファイルの解凍が開始できません"
  "解凍後のファイルが作成できません。\\n解凍処理を中断します"
  "データの読み取り中にエラーが発生しました。\\n解凍処理を中断します"
  "データの書き込み中にエラーが発生しました。\\n解凍処理を中断します"
  "自己解凍ファイルのデータが壊れています。\\n解凍処理を中断します"
  "メモリ不足のため、解凍処理を続行できません"
  "フォルダが作成できません"
  "同名のファイルが存在するため、フォルダを作成できません"
)
start_host progress 'a:1;a:2;a:3;a:4;a:5;a:6;a:7;a:8;a:12;r:5'
for code in 1 2 3 4 5 6 7 8; do
  got="$(probe find-control 65535 30000 caption text 65535 click 1 wait-gone 10000)"
  mapfile -t lines <<<"$got"
  expect_eq "alert $code caption" "${lines[0]}" "$alert_caption"
  expect_eq "alert $code text" "${lines[1]:-}" "${alerts[$((code - 1))]}"
done
out="$(finish_host alerts)"
expect_eq "failed run" "$(value done "$out")/$(value Result "$out")" "0/5"

# No worker thread: the stop message, and nothing runs.
start_host progress 'n:1' no-thread
got="$(probe find-control 65535 30000 caption text 65535 click 1 wait-gone 10000)"
mapfile -t lines <<<"$got"
expect_eq "no-thread caption" "${lines[0]}" "$alert_caption"
expect_eq "no-thread text" "${lines[1]:-}" "メモリ不足でファイルの解凍が開始できません"
out="$(finish_host "no thread")"
expect_eq "no-thread run" "$(value done "$out")/$(value Result "$out")" "0/0"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all dialog checks passed"
