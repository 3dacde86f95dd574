#!/bin/sh
# pelorin-cli find: leftmost-longest positions per line, the whole-input mode, fuzzy search,
# the line separator, and a bad pattern's message with its position.
# Usage: find.sh CLI TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
fail=0
check() {  # name expected actual
    if [ "$2" != "$3" ]; then
        printf 'FAIL %s\nexpected:\n%s\nactual:\n%s\n' "$1" "$2" "$3"
        fail=1
    fi
}

check leftmost-longest "$(printf '2 2\n1 2\n0 0')" \
    "$(printf 'xab\nab\nzzz\n' | "$cli" find 'ab|a')"
check empty-pattern "1 0" "$(printf 'abc\n' | "$cli" find '')"
check no-final-lf "$(printf '0 0\n3 1')" "$(printf 'xy\nabc' | "$cli" find 'c')"
check line-end-crlf "2 1" "$(printf 'xa\r\n' | "$cli" find 'a$')"
check line-end-lf "0 0" "$(printf 'xa\r\n' | "$cli" find --lf --whole 'a$')"
check whole-line-start "5 1" "$(printf 'ba\r\na' | "$cli" find --whole '^a')"
check fuzzy "7 3" "$(printf 'これはﾃｽﾄです\n' | "$cli" find --utf8 --fuzzy 'テスト')"
check not-fuzzy "0 0" "$(printf 'これはﾃｽﾄです\n' | "$cli" find --utf8 'テスト')"
check double-byte "0 0" "$(printf 'ソ\n' | "$cli" find --utf8 '\\')"
check double-byte-control "3 1" "$(printf 'ソ\\\n' | "$cli" find --utf8 '\\')"

err=$("$cli" find --utf8 'ab(c' </dev/null 2>&1 >/dev/null)
status=$?
check bad-pattern-status 1 "$status"
check bad-pattern-message "pelorin-cli find: 右(閉じ)括弧が必要です (position 5)" "$err"
err=$("$cli" find '[z-a]' </dev/null 2>&1 >/dev/null)
check bad-range-message "pelorin-cli find: 不正なキャラクタ範囲です (position 2)" "$err"

"$cli" find </dev/null >/dev/null 2>&1
check usage-status 2 "$?"

exit $fail
