#!/bin/sh
# pelorin-cli on messages of today's mail: the two UTF-8 messages of the demo packet shown with
# every character (header words, a quoted-printable body, an HTML-only body as text), listed
# with "〓" where Shift_JIS has no character, found by grep through their converted text; and a
# message file of the charset corpus shown as it is read.
# Arguments: CLI_BINARY TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
data=$2
src=$3
fail=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r "$src/examples/demo" "$tmp/demo"
PELORIN_HOME=$tmp/home
export PELORIN_HOME
has() {  # name, text, line expected in it
    printf '%s\n' "$2" | grep -qxF "$3" || { echo "FAIL $1: no line [$3] in"; printf '%s\n' "$2"; fail=1; }
}

out=$("$cli" show "$tmp/demo" mail 5)
has utf8-subject "$out" "Subject: ソウルからこんにちは 👋 (서울 출장)"
has utf8-from "$out" "From: 김민지 <minji@example.kr>"
has utf8-body "$out" "ソウル出張ではお世話になりました。감사합니다 🙏"
has utf8-latin "$out" "Müller さんと Zoë さんにもよろしくお伝えください。"

out=$("$cli" show "$tmp/demo" mail 6)
has html-heading "$out" "今月のお知らせ"
has html-item "$out" "・ Café & Crème – 特集記事"
has html-link "$out" "詳しくは ニュースのページ <https://example.jp/pelorin/news> をご覧ください。"
has html-entity "$out" "配信停止は <news@example.jp> までどうぞ。"
printf '%s\n' "$out" | grep -q "track" && { echo "FAIL html script shown"; fail=1; }

out=$("$cli" list "$tmp/demo" mail --format '%s')
has list-subject "$out" "ソウルからこんにちは 〓 (〓〓 〓〓)"

[ "$("$cli" grep "$tmp/demo" mail "出張" | wc -l)" -eq 1 ] || { echo "FAIL grep utf8 body"; fail=1; }
[ "$("$cli" grep "$tmp/demo" mail "特集記事" | wc -l)" -eq 1 ] || { echo "FAIL grep html body"; fail=1; }

out=$("$cli" show --utf8 "$data/coding/charsets/euc_kr.eml")
has file-subject "$out" "Subject: 안녕하세요"
has file-body "$out" "한국어 텍스트입니다."
exit $fail
