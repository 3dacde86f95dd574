#!/bin/sh
# pelorin-cli's `parts-file` and `decode-file`, end to end: the part list of a multipart
# message, its attachments written (hostile names kept inside the directory, existing files
# left alone), uudecoded files, and the same message with CR LF line ends.
# Arguments: CLI_BINARY TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
data=$2/coding/mime
fail=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
check() {  # name, expected, actual
    if [ "$2" != "$3" ]; then
        printf 'FAIL %s:\nexpected [%s]\n     got [%s]\n' "$1" "$2" "$3"
        fail=1
    fi
}
tab=$(printf '\t')

expected_parts="1	text/plain	7bit		1
2	text/plain	base64		2
3	text/html	7bit		1
4	application/octet-stream	base64	bytes256.bin	5
5	application/octet-stream	base64	テスト.bin	5
6	application/octet-stream	base64	../../escape.bin	1
7	application/octet-stream	base64	..\\..\\win.bin	1
8	application/octet-stream	base64	..	1
9	image/gif	base64		1"
check parts "$expected_parts" "$("$cli" parts-file --utf8 "$data/attachments.txt")"

# The same message stored with CR LF line ends splits the same way.
sed 's/$/\r/' "$data/attachments.txt" >"$tmp/crlf.txt"
check parts-crlf "$expected_parts" "$("$cli" parts-file --utf8 "$tmp/crlf.txt")"

# Attachments: names with directory parts land inside DIR, ".." is refused, a part without a
# name is skipped.
mkdir "$tmp/out" "$tmp/outer"
mkdir "$tmp/outer/in"
out=$("$cli" decode-file --utf8 "$data/attachments.txt" "$tmp/outer/in")
check decode-status 0 $?
check decode "mime	written	bytes256.bin
mime	written	テスト.bin
mime	written	../../escape.bin	escape.bin
mime	written	..\\..\\win.bin	win.bin
mime	bad name	..
mime	skipped	part 9 (image/gif) has no file name" "$out"
cmp -s "$tmp/outer/in/bytes256.bin" "$data/bytes256.bin" || { echo "FAIL bytes256.bin differs"; fail=1; }
cmp -s "$tmp/outer/in/テスト.bin" "$data/bytes256.bin" || { echo "FAIL テスト.bin differs"; fail=1; }
check escape "ABC" "$(cat "$tmp/outer/in/escape.bin")"
check files "bytes256.bin escape.bin win.bin テスト.bin" "$(cd "$tmp/outer/in" && echo $(LC_ALL=C ls -A))"
check outside "in" "$(cd "$tmp/outer" && echo $(LC_ALL=C ls -A))"
[ -e "$tmp/escape.bin" ] && { echo "FAIL a file escaped the directory"; fail=1; }

# A second run finds every file there and changes none of them; exit status 1 (none written).
echo "keep me" >"$tmp/outer/in/escape.bin"
out=$("$cli" decode-file "$data/attachments.txt" "$tmp/outer/in")
check redecode-status 1 $?
check redecode-exists 4 "$(echo "$out" | grep -c "${tab}exists${tab}")"
check kept "keep me" "$(cat "$tmp/outer/in/escape.bin")"

# A symbolic link planted under an attachment's name is neither followed nor replaced.
mkdir "$tmp/link"
ln -s "$tmp/target" "$tmp/link/bytes256.bin"
"$cli" decode-file "$data/attachments.txt" "$tmp/link" >/dev/null
[ -e "$tmp/target" ] && { echo "FAIL wrote through a symbolic link"; fail=1; }
[ -L "$tmp/link/bytes256.bin" ] || { echo "FAIL symbolic link replaced"; fail=1; }

# CR LF: the attachments decode to the same bytes.
"$cli" decode-file "$tmp/crlf.txt" "$tmp/out" >/dev/null
cmp -s "$tmp/out/bytes256.bin" "$data/bytes256.bin" || { echo "FAIL CR LF attachment differs"; fail=1; }

# uudecoding: a message without MIME attachments; its hostile name stays inside DIR.
mkdir "$tmp/uu"
out=$("$cli" decode-file "$data/uuencoded.txt" "$tmp/uu")
check uu "uu	decoded	bytes256.bin
uu	decoded	../../up.txt	up.txt" "$out"
cmp -s "$tmp/uu/bytes256.bin" "$data/bytes256.bin" || { echo "FAIL uudecoded file differs"; fail=1; }
check uu-up "abc" "$(cat "$tmp/uu/up.txt")"
sed 's/$/\r/' "$data/uuencoded.txt" >"$tmp/uu-crlf.txt"
mkdir "$tmp/uu2"
"$cli" decode-file "$tmp/uu-crlf.txt" "$tmp/uu2" >/dev/null
cmp -s "$tmp/uu2/bytes256.bin" "$data/bytes256.bin" || { echo "FAIL CR LF uudecode differs"; fail=1; }
out=$("$cli" decode-file "$data/uuencoded.txt" "$tmp/uu")
check uu-again-status 1 $?
check uu-again "uu	exists	bytes256.bin
uu	exists	../../up.txt	up.txt" "$out"

# Nothing to decode.
printf 'Subject: plain\n\nJust text.\n' >"$tmp/plain.txt"
check nothing "none	nothing to decode" "$("$cli" decode-file "$tmp/plain.txt" "$tmp/uu")"
check nothing-parts "1	text/plain	7bit		1" "$("$cli" parts-file "$tmp/plain.txt")"

# Usage and file errors exit non-zero.
"$cli" parts-file >/dev/null 2>&1 && { echo "FAIL parts-file without a file accepted"; fail=1; }
"$cli" parts-file /nonexistent/file >/dev/null 2>&1 && { echo "FAIL missing file accepted"; fail=1; }
"$cli" decode-file "$tmp/plain.txt" >/dev/null 2>&1 && { echo "FAIL decode-file without DIR"; fail=1; }
"$cli" decode-file "$data/attachments.txt" "$tmp/nodir" >/dev/null 2>&1 &&
    { echo "FAIL decode-file into a missing directory"; fail=1; }
exit $fail
