#!/bin/sh
# pelorin-cli `post` and `sendme` on a copy of the demo packet and a small indexed packet: a
# UTF-8 Japanese news article and an ASCII mail framed into the outbound directory and listed
# in REPLIES, body requests appended to COMMANDS, and bad usage.
# Arguments: CLI_BINARY TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
src=$3
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
check() {  # name, expected, actual
    if [ "$2" != "$3" ]; then
        printf 'FAIL %s:\nexpected [%s]\n     got [%s]\n' "$1" "$2" "$3"
        fail=1
    fi
}
cp -r "$src/examples/demo" "$work/demo"
mkdir "$work/out" "$work/home"
export PELORIN_HOME="$work/home"

printf 'Newsgroups: pelorin.test\nSubject: テスト\n\n本文です\n' >"$work/PBN00001.TMP"
printf 'To: a@example.jp\r\nSubject: hello\r\n\r\nbody\r\n' >"$work/PBM00002.TMP"
check post-news "$work/out/PBN00001.MSG" \
    "$("$cli" post "$work/demo" "$work/PBN00001.TMP" --news --outbound "$work/out")"
check post-mail "$work/out/PBM00002.MSG" \
    "$("$cli" post "$work/demo" "$work/PBM00002.TMP" --mail --outbound "$work/out")"
check replies "$(printf 'PBN00001\tnews\tBn\nPBM00002\tmail\tbn')" "$(cat "$work/out/REPLIES")"

# --outbound holds for its own run and is never stored: a later post elsewhere goes there, and
# one without the option goes to the packet's stored directory, else the own directory.
grep -qi '^Outbound=' "$work/demo/GRPSTAT.PBS" && { echo "FAIL --outbound was stored"; fail=1; }
mkdir "$work/other" "$work/stored"
printf 'Subject: x\n\nx\n' >"$work/PBM00003.TMP"
check post-other "$work/other/PBM00003.MSG" \
    "$("$cli" post "$work/demo" "$work/PBM00003.TMP" --mail --outbound "$work/other")"
check post-own-dir "$work/home/PBM00003.MSG" "$("$cli" post "$work/demo" "$work/PBM00003.TMP" --mail)"
printf '[General]\r\nOutbound=%s\r\n' "$work/stored" >>"$work/demo/GRPSTAT.PBS"
check post-stored "$work/stored/PBM00003.MSG" "$("$cli" post "$work/demo" "$work/PBM00003.TMP" --mail)"
check post-option-wins "$work/other/PB000001.MSG" \
    "$("$cli" post "$work/demo" "$work/PBM00003.TMP" --mail --outbound "$work/other")"
check stored-kept "Outbound=$work/stored" "$(grep -i '^Outbound=' "$work/demo/GRPSTAT.PBS" | tr -d '\r')"

# Length bytes, then LF-ended lines: encoded Subject, MIME lines before the empty line, JIS body.
# Date: and Message-ID: first (the message had neither), then the lines as composed.
size=$(stat -c %s "$work/out/PBM00002.MSG")
check mail-length "$(printf '%08x' $((size - 4)))" "$(od -An -tx1 -N4 "$work/out/PBM00002.MSG" | tr -d ' \n')"
mail=$(tail -c +5 "$work/out/PBM00002.MSG")
echo "$mail" | head -n 1 | grep -Eq '^Date: [A-Z][a-z]{2}, [0-9]{2} [A-Z][a-z]{2} [0-9]{4} [0-9:]{8} [-+][0-9]{4}$' \
    || { echo "FAIL mail-date"; fail=1; }
echo "$mail" | sed -n 2p | grep -Eq '^Message-ID: <[^ <>@]+@[^ <>@]+>$' || { echo "FAIL mail-id"; fail=1; }
check mail-body "$(printf 'To: a@example.jp\nSubject: hello\n\nbody')" "$(echo "$mail" | tail -n +3)"
news=$(tail -c +5 "$work/out/PBN00001.MSG" | tail -n +3)
check news-lines "$(printf 'Newsgroups: pelorin.test\nSubject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\nMime-Version: 1.0\nContent-Type: text/plain; charset=ISO-2022-JP\n')" \
    "$(echo "$news" | head -n 4)"
check news-body "本文です" "$(echo "$news" | tail -n 1 | "$cli" jis2sjis --utf8)"
[ -f "$work/PBN00001.TMP" ] || { echo "FAIL the message file was removed"; fail=1; }

# Body requests: messages of an area without index have number 0; earlier lines stay.
printf 'SENDME\told.group\t7\n' >"$work/out/COMMANDS"
"$cli" sendme "$work/demo" pelorin.test 1 3 --outbound "$work/out" >/dev/null 2>"$work/question"
check sendme-zero "$(printf 'SENDME\told.group\t7\nSENDME\tpelorin.test\t0\nSENDME\tpelorin.test\t0')" \
    "$(cat "$work/out/COMMANDS")"
grep -q "チェックされた2件の" "$work/question" || { echo "FAIL sendme question"; fail=1; }

# An indexed area carries article numbers.
mkdir "$work/idx"
printf '0000009\tfj.test\tuc\n' >"$work/idx/AREAS"
: >"$work/idx/0000009.MSG"
printf '0\tone\ta@x\t\t<1@x>\t\t0\t0\t101\n0\ttwo\ta@x\t\t<2@x>\t\t0\t0\t150\n0\tthree\ta@x\t\t<3@x>\t\t0\t0\t205\n' \
    >"$work/idx/0000009.IDX"
"$cli" sendme "$work/idx" fj.test 3 1 --outbound "$work/out" >/dev/null 2>&1 ||
    { echo "FAIL sendme indexed"; fail=1; }
check sendme-numbers "$(printf 'SENDME\tfj.test\t101\nSENDME\tfj.test\t205')" \
    "$(tail -n 2 "$work/out/COMMANDS")"

# Without --outbound or a stored directory, post and sendme use transfer.INI's Outbound (where
# pelorin-transfer send looks), making it when it is missing.
printf '[General]\nOutbound=%s   ; where the replies wait\n' "$work/transfer out/new" >"$work/home/transfer.INI"
check post-transfer-outbound "$work/transfer out/new/PBM00003.MSG" \
    "$("$cli" post "$work/idx" "$work/PBM00003.TMP" --mail)"
"$cli" sendme "$work/idx" fj.test 2 >/dev/null 2>&1 || { echo "FAIL sendme transfer outbound"; fail=1; }
check sendme-transfer-outbound "$(printf 'SENDME\tfj.test\t150')" "$(cat "$work/transfer out/new/COMMANDS")"

"$cli" post "$work/demo" "$work/PBM00002.TMP" >/dev/null 2>&1 && { echo "FAIL post without kind"; fail=1; }
"$cli" post "$work/demo" "$work/missing.TMP" --mail >/dev/null 2>&1 && { echo "FAIL missing file posted"; fail=1; }
"$cli" sendme "$work/demo" pelorin.test 99 >/dev/null 2>&1 && { echo "FAIL message 99 accepted"; fail=1; }
exit $fail
