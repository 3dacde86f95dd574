#!/bin/sh
# pelorin-cli's `show PACKET_DIR AREA N --headers` (what the window shows with ヘッダーの表示 on:
# one decoded line per header field, every character, then the body as without headers) and
# `save PACKET_DIR AREA N FILE` (what 名前をつけて保存 writes, in UTF-8 or Shift_JIS, replaced
# characters counted).
# Arguments: CLI_BINARY TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
fail=0
check() {  # name, expected, actual
    if [ "$2" != "$3" ]; then
        echo "FAIL $1: expected [$2] got [$3]"
        fail=1
    fi
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
PELORIN_HOME=$tmp/home
export PELORIN_HOME
mkdir -p "$tmp/p" "$tmp/home"
msg=$(printf 'From: a@example.jp\nSubject: =?UTF-8?Q?=E6=97=A5=E6=9C=AC_?=\n =?UTF-8?Q?=C3=9Cn?=\nTo: =?UTF-8?B?6rmA7LKg7IiY?= <kim@example.kr>\nMIME-Version: 1.0\nContent-Type: text/html; charset=UTF-8\n\n<p>안녕 <b>日本</b></p>\n')
size=$(printf '%s\n' "$msg" | wc -c)
{ printf '#! rnews %s\n' "$size"; printf '%s\n' "$msg"; } > "$tmp/p/0000001.MSG"
printf '0000001\tfj.test\tun\n' > "$tmp/p/AREAS"

out=$("$cli" show "$tmp/p" fj.test 1 --headers)
check headers-subject "Subject: 日本 Ün" "$(echo "$out" | sed -n 2p)"
check headers-to "To: 김철수 <kim@example.kr>" "$(echo "$out" | sed -n 3p)"
check headers-lines 7 "$(echo "$out" | wc -l)"
echo "$out" | grep -qx "안녕 日本" || { echo "FAIL headers body"; echo "$out"; fail=1; }
echo "$out" | grep -q "<p>" && { echo "FAIL raw markup"; fail=1; }

"$cli" save "$tmp/p" fj.test 1 "$tmp/u.txt" --charset UTF-8 2>"$tmp/err" || fail=1
check save-utf8 "$(printf '\r\n안녕 日本\r')" "$(cat "$tmp/u.txt")"
check save-utf8-quiet "" "$(cat "$tmp/err")"
"$cli" save "$tmp/p" fj.test 1 "$tmp/s.txt" --charset Shift_JIS 2>"$tmp/err" || fail=1
check save-sjis "$(printf '\r\n\201\254\201\254 \223\372\226\173\r')" "$(cat "$tmp/s.txt")"
grep -q "message 1: 2 characters Shift_JIS cannot hold" "$tmp/err" || { echo "FAIL no count"; cat "$tmp/err"; fail=1; }
# The setting chooses when --charset does not.
printf '[Files]\r\nSaveCharset=Shift_JIS\r\n' > "$tmp/home/pelorin.INI"
"$cli" save "$tmp/p" fj.test 1 "$tmp/d.txt" 2>/dev/null || fail=1
cmp -s "$tmp/s.txt" "$tmp/d.txt" || { echo "FAIL setting not used"; fail=1; }
"$cli" save "$tmp/p" fj.test 1 "$tmp/x.txt" --charset EBCDIC >/dev/null 2>&1 && { echo "FAIL bad charset accepted"; fail=1; }
"$cli" save "$tmp/p" fj.test 1 "$tmp/nodir/x.txt" >/dev/null 2>&1 && { echo "FAIL unwritable file accepted"; fail=1; }
exit $fail
