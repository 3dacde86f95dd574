#!/bin/sh
# pelorin-cli `subcmd list` and `subcmd run` on a generated packet: the rows a condition run
# marks are exactly those the generator chose (a subject word, or a Japanese body word), the
# marks reach the mark file, the save file is emptied once per run, a folder copy never
# duplicates, an unknown name and a command without a runnable action are refused.
# Arguments: CLI_BINARY TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
check() {  # name, expected, actual
    if [ "$2" != "$3" ]; then
        printf 'FAIL %s:\nexpected [%s]\n     got [%s]\n' "$1" "$2" "$3"
        fail=1
    fi
}
sjis() { iconv -f UTF-8 -t CP932; }
mkdir "$work/home" "$work/p" "$work/f"
export PELORIN_HOME="$work/home"

# 60 messages: every 7th has "urgent" in its subject, every 5th "締切" in its body (JIS).
deadline=$(printf '締切' | iconv -f UTF-8 -t ISO-2022-JP)
expected=""
i=1
while [ $i -le 60 ]; do
    subj="note $i"
    body="plain text $i"
    hit=0
    [ $((i % 7)) -eq 0 ] && { subj="urgent $i"; hit=1; }
    [ $((i % 5)) -eq 0 ] && { body="the $deadline is near"; hit=1; }
    [ $hit -eq 1 ] && expected="$expected<$i@x>
"
    m="From: u$i@example.com
Subject: $subj
Date: Mon, 1 Jan 2024 10:00:00 +0900
Message-ID: <$i@x>

$body"
    printf '#! rnews %d\n%s\n' $(($(printf '%s' "$m" | wc -c) + 1)) "$m"
    i=$((i + 1))
done >"$work/p/0000001.MSG"
printf '0000001\tsrc.group\tun\n' >"$work/p/AREAS"
printf '00000001\tkeep\tuc\n' >"$work/f/AREAS"
printf '[General]\r\nPacketName=FOLD\r\nPacketType=1\r\n' >"$work/f/GRPSTAT.PBS"

printf '%s' '[SubCommands]
SubCom0=flag
SubCom1=file
SubCom2=nothing
SubCom3=one
[flag]
Target=MessageSelect
ConditionStr0="[Or]"
ConditionStr1=" Subject＝urgent"
ConditionStr2=" 本文＝締切"
UseRegEx=N
MarkSet=Y
Mark=|
SaveToFile=Y
HeaderOutput=N
OverWrite=Y
SaveTo='"$work/saved.txt"'
[file]
Target=MessageSelect
ConditionStr0="Subject＝urgent"
CopyToFolder=Y
Folder=keep(OLDNAME)
[nothing]
Target=MessageSelect
ConditionStr0="Subject＝urgent"
[one]
Target=SelectedMessage
MarkSet=Y
' | sjis >"$work/home/SUBCMD.INI"

# list: every command, its target and actions; the defaults are written back.
out=$("$cli" subcmd list)
check list "$(printf 'flag\tconditions:3\tmark:+,save:%s\nfile\tconditions:1\tfolder:keep(OLDNAME)\nnothing\tconditions:1\t-\none\tselected\tmark:-' "$work/saved.txt")" "$out"
grep -q '^CheckMark=N' "$work/home/SUBCMD.INI" || { echo "FAIL defaults not written back"; fail=1; }

# run: the rows acted on, the summary, the marks in the mark file.
out=$("$cli" subcmd run flag "$work/p" src.group)
check run-status 0 $?
count=$(printf '%s' "$expected" | grep -c .)
check count 19 "$count"
check run-summary "matched $count of 60; saved $count" "$(printf '%s\n' "$out" | tail -n 1)"
check run-rows $count "$(printf '%s\n' "$out" | grep -c '^+')"
marked=$("$cli" list "$work/p" src.group --format '%K%I' | grep '^+' | cut -c2-)
check marked-rows "$(printf '%s' "$expected")" "$marked"
check unmarked-rows $((60 - count)) "$("$cli" list "$work/p" src.group --format '%K' | grep -c '^\*')"
check saved-lines $count "$(grep -c . "$work/saved.txt")"
"$cli" subcmd run flag "$work/p" src.group >/dev/null
check saved-once $count "$(grep -c . "$work/saved.txt")"  # emptied once per run

# Folder copy through the "area(packet)" fall-back; a second run copies nothing.
check copy-1 "matched 8 of 60; copied 8, skipped 0" \
    "$("$cli" subcmd run file "$work/p" src.group --folders "$work/f" | tail -n 1)"
check copy-2 "matched 8 of 60; copied 0, skipped 8" \
    "$("$cli" subcmd run file "$work/p" src.group --folders "$work/f" | tail -n 1)"
check folder-count 8 "$("$cli" list "$work/f" keep --format '%I' | grep -c .)"

# Refusals: unknown name, no folder packet given, no action, selected-message target.
err=$("$cli" subcmd run nosuch "$work/p" src.group 2>&1)
check unknown-status 1 $?
check unknown "pelorin-cli subcmd: nosuchというコマンドは登録されていません" "$err"
"$cli" subcmd run file "$work/p" src.group >/dev/null 2>&1 && { echo "FAIL copy without folder"; fail=1; }
"$cli" subcmd run nothing "$work/p" src.group >/dev/null 2>&1 && { echo "FAIL no action"; fail=1; }
"$cli" subcmd run one "$work/p" src.group >/dev/null 2>&1 && { echo "FAIL selected"; fail=1; }
"$cli" subcmd >/dev/null 2>&1 && { echo "FAIL no verb"; fail=1; }
check untouched "$(printf '%s' "$expected")" \
    "$("$cli" list "$work/p" src.group --format '%K%I' | grep '^+' | cut -c2-)"
exit $fail
