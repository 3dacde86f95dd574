#!/usr/bin/env bash
# Search, timed as whole programs next to notmuch on the same messages, in one run: indexing a
# generated area of MESSAGES messages (100,000 by default) with `pelorin-cli index` next to
# `notmuch new` over the same messages as a Maildir, the sizes of both indexes next to the mail,
# a word and a phrase query (`pelorin-cli search` next to `notmuch count`/`search`), and a
# regular expression with nothing to narrow it next to GNU `grep -c -E` over the message file
# (piped: grep stops at the first match when it writes to /dev/null). Prints the ratios. Run
# through `tools/dev bench search` (Release build); needs hyperfine and notmuch.
#
#   bench/search/run.sh BUILD_DIR [MESSAGES]
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [MESSAGES]}
messages=${2:-100000}
cli=$build/src/pelorin-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PELORIN_HOME=$work/home XDG_CACHE_HOME=$work/cache
mkdir -p "$PELORIN_HOME"

"$build/bench/open_gen" "$work" "$messages"
un=$work/un
# The same messages as a Maildir, one file each, for notmuch.
python3 - "$un/0000001.MSG" "$work/maildir" <<'PY'
import os, sys
data = open(sys.argv[1], "rb").read()
out = sys.argv[2]
for d in ("cur", "new", "tmp"):
    os.makedirs(os.path.join(out, d), exist_ok=True)
pos, n = 0, 0
while pos < len(data):
    nl = data.index(b"\n", pos)
    size = int(data[pos + 9:nl])
    n += 1
    with open(os.path.join(out, "cur", "%d.bench:2," % n), "wb") as f:
        f.write(data[nl + 1:nl + 1 + size])
    pos = nl + 1 + size
PY
cat >"$work/notmuch-config" <<INI
[database]
path=$work/maildir
[new]
tags=
[search]
exclude_tags=
INI
export NOTMUCH_CONFIG=$work/notmuch-config
sync

seconds() { python3 -c "import json,sys; print('%.2f' % json.load(open(sys.argv[1]))['results'][0]['mean'])" "$1"; }
ms() { python3 -c "import json,sys; print('%.1f' % (json.load(open(sys.argv[1]))['results'][0]['median']*1000))" "$1"; }
ratio() { python3 -c "print('%.2f' % ($1 / $2))"; }

mail=$(du -sk "$un/0000001.MSG" | cut -f1)
echo "== indexing $messages messages ($((mail / 1024)) MB of mail)"
hyperfine --runs 1 --style none --export-json "$work/ix.json" \
    --prepare "rm -rf $work/cache" "$cli index --packet $un" >/dev/null
hyperfine --runs 1 --style none --export-json "$work/nm.json" \
    --prepare "rm -rf $work/maildir/.notmuch" "notmuch new --quiet" >/dev/null
ours=$(seconds "$work/ix.json")
theirs=$(seconds "$work/nm.json")
echo "pelorin-cli index ${ours} s, notmuch new ${theirs} s: $(ratio "$ours" "$theirs")x (goal <= 0.5x)"
"$cli" index --packet "$un" >/dev/null
notmuch new --quiet
index=$(du -sk "$work/cache/pelorin/search" | cut -f1)
nmdb=$(du -sk "$work/maildir/.notmuch" | cut -f1)
echo "index $((index / 1024)) MB ($(ratio "$index" "$mail")x the mail, goal <= 1.0x)," \
     "notmuch $((nmdb / 1024)) MB ($(ratio "$nmdb" "$mail")x)"

echo "== queries"
for q in packets '"plain ASCII text"' 打ち合わせ; do
    hyperfine --warmup 2 --runs 10 --style none --export-json "$work/q.json" \
        "$cli search '$q' --packet $un --format x" "notmuch count '$q'" >/dev/null
    a=$(python3 -c "import json; r=json.load(open('$work/q.json'))['results']; print(r[0]['median']*1000)")
    b=$(python3 -c "import json; r=json.load(open('$work/q.json'))['results']; print(r[1]['median']*1000)")
    printf '%s: pelorin-cli search %.1f ms, notmuch count %.1f ms: %sx (goal <= 1.0x)\n' \
        "$q" "$a" "$b" "$(ratio "$a" "$b")"
done

echo "== a regular expression with nothing to narrow it"
hyperfine --warmup 1 --runs 5 --style none --export-json "$work/re.json" \
    "$cli search '/plain AS+CII/' --packet $un --format x" \
    "grep -c -E 'plain AS+CII' $un/0000001.MSG | cat" >/dev/null
a=$(python3 -c "import json; r=json.load(open('$work/re.json'))['results']; print(r[0]['median']*1000)")
b=$(python3 -c "import json; r=json.load(open('$work/re.json'))['results']; print(r[1]['median']*1000)")
printf 'pelorin-cli search /re/ %.1f ms, grep -c -E %.1f ms: %sx (goal <= 2.0x)\n' "$a" "$b" \
    "$(ratio "$a" "$b")"
