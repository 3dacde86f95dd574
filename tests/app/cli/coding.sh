#!/bin/sh
# pelorin-cli's converter filters and `show`, end to end.
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

check decode-header "Subject: テスト" \
    "$(printf 'Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=\n' | "$cli" decode-header --utf8)"
check decode-header-folded "ABCD" \
    "$(printf '=?ISO-2022-JP?B?QUI=?=\n =?ISO-2022-JP?B?Q0Q=?=\n' | "$cli" decode-header)"
# A large value is decoded in pieces. Lines here end inside a double-byte character, which the
# next line completes once unfolded, in Shift_JIS and in UTF-8 alike.
big=$(mktemp)
awk 'BEGIN { for (i = 0; i < 40000; i++) printf "\203\145\203\130\203\147 %d\203\nX\n", i }' >"$big"
check decode-header-large-utf8 "$("$cli" decode-header <"$big" | iconv -f CP932 -t UTF-8 | md5sum)" \
    "$("$cli" decode-header --utf8 <"$big" | md5sum)"
check decode-header-large-count 80000 "$("$cli" decode-header <"$big" | iconv -f CP932 -t UTF-8 | grep -o 'ス' | wc -l)"
rm -f "$big"
check sjis2jis "$(printf '\033$B%%F%%9%%H\033(J abc')" \
    "$(printf '\203\145\203\130\203\147 abc' | "$cli" sjis2jis)"
check jis2sjis-lines "$(printf 'テスト\nabc\n')" \
    "$(printf '\033$B%%F%%9%%H\nabc\n' | "$cli" jis2sjis --utf8)"
# Each line starts in ASCII: the second line is not read as kanji.
check jis2sjis-state "$(printf 'テ\n%%F')" "$(printf '\033$B%%F\n%%F' | "$cli" jis2sjis --utf8)"
out=$("$cli" show --utf8 "$src/examples/demo/0000002.MSG")
echo "$out" | grep -q "Subject: Re: 日本語のテスト投稿です" || { echo "FAIL show subject"; fail=1; }
echo "$out" | grep -q "ちゃんと読めていますよ。" || { echo "FAIL show body"; fail=1; }
check show-count 5 "$(echo "$out" | grep -c '^========')"

# Bad usage exits non-zero with a message.
"$cli" nosuchcommand >/dev/null 2>&1 && { echo "FAIL unknown command accepted"; fail=1; }
"$cli" jis2sjis extra </dev/null >/dev/null 2>&1 && { echo "FAIL extra argument accepted"; fail=1; }
"$cli" show /nonexistent/file >/dev/null 2>&1 && { echo "FAIL missing file reported success"; fail=1; }
"$cli" >/dev/null 2>&1 && { echo "FAIL no command accepted"; fail=1; }
exit $fail
