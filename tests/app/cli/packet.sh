#!/bin/sh
# pelorin-cli's packet commands on a copy of the demo packet.
# Arguments: CLI_BINARY TEST_DATA_DIR SOURCE_DIR
set -u
cli=$1
src=$3
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$src/examples/demo" "$work/demo"

out=$("$cli" areas "$work/demo")
echo "$out" | grep -q "pelorin.test \[unn\]" || { echo "FAIL areas: $out"; fail=1; }
echo "$out" | grep -q "旅行メーリングリスト" || { echo "FAIL areas caption: $out"; fail=1; }

# Threads: the three replies hang under the first article, indented by depth.
out=$("$cli" list "$work/demo" pelorin.test --format '%V%s')
expected="日本語のテスト投稿です
  Re: 日本語のテスト投稿です
    Re: 日本語のテスト投稿です
  Re: 日本語のテスト投稿です
オフラインで読むときのコツ"
[ "$out" = "$expected" ] || { echo "FAIL thread list:"; echo "$out"; fail=1; }

# Areas by number, sorted by date, newest last; the packet names its file AREAS in any case.
mv "$work/demo/AREAS" "$work/demo/areas"
out=$("$cli" list "$work/demo/areas" 1 --sort 4 --format '%I')
[ "$(echo "$out" | tail -n 1)" = "<20261202183045.4@example.net>" ] || { echo "FAIL date order: $out"; fail=1; }

# The multipart message of the mailing list: its leaves, and its attachments written out.
out=$("$cli" parts "$work/demo" ml.tabi 2)
echo "$out" | grep -q "image/png" || { echo "FAIL parts: $out"; fail=1; }
echo "$out" | grep -q "持ち物.txt" || { echo "FAIL parts name: $out"; fail=1; }
mkdir "$work/out"
"$cli" decode "$work/demo" ml.tabi 2 "$work/out" >/dev/null || { echo "FAIL decode"; fail=1; }
[ -f "$work/out/map.png" ] || { echo "FAIL decode: no map.png"; ls "$work/out"; fail=1; }
head -c 4 "$work/out/map.png" | od -c | grep -q "P   N   G" || { echo "FAIL decode: not a PNG"; fail=1; }
# A second decode never replaces what is there.
"$cli" decode "$work/demo" ml.tabi 2 "$work/out" >/dev/null && { echo "FAIL decode replaced files"; fail=1; }
"$cli" parts "$work/demo" ml.tabi 9 >/dev/null 2>&1 && { echo "FAIL message 9 accepted"; fail=1; }

# grep over subjects and bodies; match with a condition list as SUBCMD.INI keeps it.
[ "$("$cli" grep "$work/demo" pelorin.test "読めて" | wc -l)" -eq 2 ] || { echo "FAIL grep"; fail=1; }
printf '[Or]\n Subject\357\274\235\343\202\263\343\203\204\n From\357\274\235hanako\n' > "$work/cond.txt"
out=$("$cli" match "$work/demo" pelorin.test "$work/cond.txt")
[ "$(echo "$out" | wc -l)" -eq 2 ] || { echo "FAIL match: $out"; fail=1; }
"$cli" grep "$work/demo" 1 "a(b" >/dev/null 2>&1 && { echo "FAIL bad pattern accepted"; fail=1; }

"$cli" list "$work/demo" no.such.area >/dev/null 2>&1 && { echo "FAIL unknown area accepted"; fail=1; }
"$cli" areas "$work/nowhere" >/dev/null 2>&1 && { echo "FAIL missing packet accepted"; fail=1; }
exit $fail
