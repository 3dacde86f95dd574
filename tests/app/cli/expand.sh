#!/bin/sh
# pelorin-cli `expand`, end to end: a message with MIME-encoded Subject and From, with LF and
# with CR LF line ends, rnews-framed, printed as UTF-8 and as raw Shift_JIS, and bad usage.
# Arguments: CLI_BINARY TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
fail=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
check() {  # name, expected, actual
    if [ "$2" != "$3" ]; then
        printf 'FAIL %s:\nexpected [%s]\n     got [%s]\n' "$1" "$2" "$3"
        fail=1
    fi
}

printf '%s\n' \
    'Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=' \
    'From: =?ISO-2022-JP?B?GyRCOzNFRBsoSg==?= <yamada@example.jp>' \
    'Date: Sun, 6 Dec 1998 9:05:00 +0900' \
    'Message-ID: <1@example.jp>' \
    'Newsgroups: fj.test' \
    '' \
    'body line' >"$tmp/lf.txt"
sed 's/$/\r/' "$tmp/lf.txt" >"$tmp/crlf.txt"
{ printf '#! rnews 999\n'; cat "$tmp/lf.txt"; } >"$tmp/rnews.txt"

tmpl='%s|%c|%R|%Y/%m/%d %H:%M %Z|%N|%L|%B'
want='テスト|山田 |yamada@example.jp|1998/12/06 09:05 日本時間|fj.test|7|199'
check lf "$want" "$("$cli" expand "$tmpl" "$tmp/lf.txt")"
check crlf "$want" "$("$cli" expand "$tmpl" "$tmp/crlf.txt")"
check rnews "$want" "$("$cli" expand "$tmpl" "$tmp/rnews.txt")"
check list-row "*(   7)テスト    >> 山田 " \
    "$("$cli" expand '%K%15(%4L{(%@),}%V%s%) >> %c' "$tmp/lf.txt")"
check attribution "In article <1@example.jp>, 山田 <yamada@example.jp> wrote" \
    "$("$cli" expand 'In article %I, %F{,you} wrote' "$tmp/lf.txt")"
check japanese-template "1998年12月6日(日)" \
    "$("$cli" expand '%Y年%m月%d日(%W)' "$tmp/lf.txt" | sed 's/月0/月/')"
check raw "$(printf '\203\145\203\130\203\147')" "$("$cli" expand --raw '%s' "$tmp/lf.txt")"
check lone-percent "abc" "$("$cli" expand 'abc%' "$tmp/lf.txt")"

"$cli" expand '%s' "$tmp/missing" >/dev/null 2>&1 && { echo "FAIL missing file accepted"; fail=1; }
"$cli" expand '%s' >/dev/null 2>&1 && { echo "FAIL missing argument accepted"; fail=1; }
exit $fail
