#!/bin/sh
# pelorin-cli `copy` and `purge` on a generated packet and folder packet: the folder gets the
# messages it does not hold yet, with their marks; a purge removes exactly the delete-marked
# messages and the others keep their marks; a read-only packet is reported and left as it was;
# bad usage.
# Arguments: CLI_BINARY TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
fail=0
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
check() {  # name, expected, actual
    if [ "$2" != "$3" ]; then
        printf 'FAIL %s:\nexpected [%s]\n     got [%s]\n' "$1" "$2" "$3"
        fail=1
    fi
}
mkdir "$work/home" "$work/p" "$work/f"
export PELORIN_HOME="$work/home"

# Five messages; marks: 1 and 3 delete, 2 read, 4 kept, 5 unread.
for i in 1 2 3 4 5; do
    m="From: u$i@example.com
Subject: S$i
Date: Mon, 1 Jan 2024 10:00:00 +0900
Message-ID: <$i@x>

Body $i"
    printf '#! rnews %d\n%s\n' $((${#m} + 1)) "$m"
done >"$work/p/0000001.MSG"
printf '0000001\tsrc.group\tun\n' >"$work/p/AREAS"
printf -- '-<1@x>\t\r\n <2@x>\t\r\n-<3@x>\t\r\n+<4@x>\t\r\n*<5@x>\t\r\n' >"$work/p/0000001.PBX"
printf '00000001\tkeep\tuc\n' >"$work/f/AREAS"
printf '[General]\r\nPacketType=1\r\n' >"$work/f/GRPSTAT.PBS"
rows() { "$cli" list "$work/$1" "$2" --format '%K%I'; }

check before "$(printf -- '-<1@x>\n <2@x>\n-<3@x>\n+<4@x>\n*<5@x>')" "$(rows p src.group)"
check copy-1 "copied 2, skipped 0" "$("$cli" copy "$work/p" src.group 1 2 --to "$work/f" keep)"
check copy-2 "copied 1, skipped 1" "$("$cli" copy "$work/p" src.group 2 4 --to "$work/f" keep)"
check folder "$(printf -- '-<1@x>\n <2@x>\n+<4@x>')" "$(rows f keep)"
check source-kept "$(printf -- '-<1@x>\n <2@x>\n-<3@x>\n+<4@x>\n*<5@x>')" "$(rows p src.group)"

# A read-only packet: the purge fails, names the area, and nothing changes.
before=$(cat "$work/p/0000001.MSG" "$work/p/0000001.PBX" | cksum)
chmod a-w "$work/p"
if [ "$(id -u)" != 0 ]; then
    out=$("$cli" purge "$work/p" src.group 2>&1)
    check purge-readonly-status 1 $?
    case $out in *src.group*) ;; *) echo "FAIL purge-readonly: $out"; fail=1 ;; esac
    check purge-readonly-files "$before" "$(cat "$work/p/0000001.MSG" "$work/p/0000001.PBX" | cksum)"
fi
chmod u+w "$work/p"

check purge "removed 2" "$("$cli" purge "$work/p" src.group)"
check after "$(printf -- ' <2@x>\n+<4@x>\n*<5@x>')" "$(rows p src.group)"
check purge-again "removed 0" "$("$cli" purge "$work/p" src.group)"
check after-body "$(printf 'Body 4')" "$("$cli" show "$work/p/0000001.MSG" | grep '^Body 4')"

# Bad usage: no --to, a SOUP packet as target, a missing folder.
"$cli" copy "$work/p" src.group 1 >/dev/null 2>&1 && { echo "FAIL copy without --to"; fail=1; }
"$cli" copy "$work/f" keep 1 --to "$work/p" src.group >/dev/null 2>&1 &&
    { echo "FAIL copy into a SOUP packet"; fail=1; }
"$cli" copy "$work/p" src.group 1 --to "$work/f" nothing >/dev/null 2>&1 &&
    { echo "FAIL copy into a missing folder"; fail=1; }
exit $fail
