#!/bin/sh
# pelorin-cli's `show PACKET_DIR AREA N` and `mark PACKET_DIR AREA N MARK` on a copy of the demo
# packet: the text as the window shows it (headers decoded, base64 parts decoded), and marks
# that reach the mark file and survive the next opening, without touching the other messages.
# Arguments: CLI_BINARY TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
src=$3
fail=0
check() {  # name, expected, actual
    if [ "$2" != "$3" ]; then
        echo "FAIL $1: expected [$2] got [$3]"
        fail=1
    fi
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r "$src/examples/demo" "$tmp/demo"
PELORIN_HOME=$tmp/home
export PELORIN_HOME

out=$("$cli" show "$tmp/demo" mail 1)
echo "$out" | grep -qx "Subject: 来週の打ち合わせについて" || { echo "FAIL show subject"; fail=1; }
echo "$out" | grep -qx "場所はいつもの第二会議室です。" || { echo "FAIL show body"; fail=1; }
# The AREAS file names the packet as well as its directory; areas go by number too.
check show-by-areas-file "$out" "$("$cli" show "$tmp/demo/AREAS" 1 1)"
# A multipart message: one title per part, the base64 text part decoded.
out=$("$cli" show "$tmp/demo" ml.tabi 2)
check show-parts 3 "$(echo "$out" | grep -c '^---- part ')"
echo "$out" | grep -qx "・雨具" || { echo "FAIL show base64 part"; fail=1; }
# --raw prints the Shift_JIS bytes.
check show-raw "$(printf 'Subject: \227\210\217T\202\314\221\305\202\277\215\207\202\355\202\271\202\311\202\302\202\242\202\304')" \
    "$("$cli" show "$tmp/demo" mail 1 --raw | grep -a '^Subject: ')"
# Showing marks nothing read.
check show-keeps-unread "*" "$("$cli" list "$tmp/demo" mail --sort 0 --format '%K' | head -1)"

marks() { "$cli" list "$tmp/demo" mail --sort 0 --format '[%K]' | tr -d '\n'; }
before=$(marks)
check before "[*][*][*][*][*][*]" "$before"
"$cli" mark "$tmp/demo" mail 2 - || { echo "FAIL mark exit"; fail=1; }
check mark-delete "[*][-][*][*][*][*]" "$(marks)"
"$cli" mark "$tmp/demo" mail 3 " " || fail=1
"$cli" mark "$tmp/demo" mail 4 + || fail=1
check mark-three "[*][-][ ][+][*][*]" "$(marks)"
[ -f "$tmp/demo/0000001.PBX" ] || { echo "FAIL no mark file"; fail=1; }
"$cli" mark "$tmp/demo" mail 2 "*" || fail=1
check mark-back "[*][*][ ][+][*][*]" "$(marks)"
# The window reads the same counts: (unread/total) of the area list.
"$cli" areas "$tmp/demo" | grep -q '^(4/6) mail ' || { echo "FAIL counts"; "$cli" areas "$tmp/demo"; fail=1; }

# Bad input: a message that is not there, a mark of two characters, an unknown area.
"$cli" mark "$tmp/demo" mail 9 - >/dev/null 2>&1 && { echo "FAIL message 9 accepted"; fail=1; }
"$cli" mark "$tmp/demo" mail 1 ab >/dev/null 2>&1 && { echo "FAIL long mark accepted"; fail=1; }
"$cli" mark "$tmp/demo" nosuch 1 - >/dev/null 2>&1 && { echo "FAIL unknown area accepted"; fail=1; }
"$cli" show "$tmp/demo" mail 0 >/dev/null 2>&1 && { echo "FAIL message 0 accepted"; fail=1; }
check unchanged-after-errors "[*][*][ ][+][*][*]" "$(marks)"
exit $fail
