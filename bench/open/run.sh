#!/usr/bin/env bash
# Opening a 100,000-message area, timed as whole programs in one run with hyperfine: the floor
# (cat, wc -l, and open_floor: the file mapped, frames or index lines split, header fields
# located) next to `pelorin-cli list` in file and thread order, for an rnews area and an
# indexed one; then the converter filters next to iconv; then resident memory (/usr/bin/time).
# Prints the ratios (medians over ROUNDS rounds, 30 by default). Run through `tools/dev bench
# open` (Release build); needs hyperfine.
#
#   bench/open/run.sh BUILD_DIR [MESSAGES]
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [MESSAGES]}
messages=${2:-100000}
cli=$build/src/pelorin-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PELORIN_HOME=$work/home
mkdir -p "$PELORIN_HOME"

"$build/bench/open_gen" "$work" "$messages"
# The areas were just written: their pages go to disk before anything is timed, not during.
sync
un=$work/un
uc=$work/uc

# A virtual machine has slow spells that last from a tenth of a second to several seconds. Each
# group is therefore timed in rounds, one run of every command per round, and a ratio is taken
# within each round (between runs a few milliseconds apart, so a slow spell weighs on both) and
# reported as the median over the rounds; times are each command's median.
rounds=${ROUNDS:-30}
run() {  # name, rounds, hyperfine options and commands...
    local name=$1 n=$2; shift 2
    hyperfine --warmup 1 --runs 1 --style none "$@" >/dev/null  # the page cache warm
    for r in $(seq "$n"); do
        hyperfine --runs 1 --style none --export-json "$work/$name.$r.json" "$@" >/dev/null
    done
}
# stat NAME EXPR: the median over NAME's rounds of EXPR, in which t[i] is command i's time in
# ms in that round; e.g. "t[1]" or "(t[2] - t[1]) / t[1]".
stat() {
    python3 - "$work" "$1" "$2" <<'PY'
import glob, json, statistics, sys
work, name, expr = sys.argv[1:]
values = []
for f in glob.glob(f"{work}/{name}.*.json"):
    t = [r["times"][0] * 1000 for r in json.load(open(f))["results"]]
    values.append(eval(expr))
print("%.2f" % statistics.median(values))
PY
}

echo "== rnews area ($(du -h "$un/0000001.MSG" | cut -f1))"
run un "$rounds" -N \
    "cat $un/0000001.MSG" \
    "wc -l $un/0000001.MSG" \
    "$build/bench/open_floor rnews $un/0000001.MSG" \
    "$cli list $un pelorin.bench --sort 0 --format x" \
    "$cli list $un pelorin.bench --sort 1 --format x"
echo "cat $(stat un "t[0]") ms, wc -l $(stat un "t[1]") ms, floor $(stat un "t[2]") ms," \
     "list --sort 0 $(stat un "t[3]") ms, --sort 1 $(stat un "t[4]") ms"
echo "open / floor $(stat un "t[3] / t[2]")x, open / wc -l $(stat un "t[3] / t[1]")x," \
     "threads on top / open $(stat un "(t[4] - t[3]) / t[3]")x"

echo "== indexed area ($(du -h "$uc/0000001.IDX" | cut -f1) index)"
# An index's Subject and From are decoded when first read: the last run shows every subject.
run uc "$rounds" -N \
    "$build/bench/open_floor index $uc/0000001.IDX" \
    "$cli list $uc pelorin.bench --sort 0 --format x" \
    "$cli list $uc pelorin.bench --sort 1 --format x" \
    "$cli list $uc pelorin.bench --sort 0 --format %s"
echo "floor $(stat uc "t[0]") ms, list --sort 0 $(stat uc "t[1]") ms, --sort 1 $(stat uc "t[2]") ms," \
     "--sort 0 showing every subject $(stat uc "t[3]") ms"
echo "open / floor $(stat uc "t[1] / t[0]")x," \
     "threads on top / open $(stat uc "(t[2] - t[1]) / t[1]")x," \
     "every subject shown / floor $(stat uc "t[3] / t[0]")x"

echo "== converter filters"
head -c 52000000 "$un/0000001.MSG" >"$work/jis.txt"
"$cli" jis2sjis <"$work/jis.txt" >"$work/sjis.txt"
run filters 5 \
    "$cli jis2sjis < $work/jis.txt" \
    "iconv -f ISO-2022-JP -t CP932 < $work/jis.txt" \
    "$cli sjis2jis < $work/sjis.txt" \
    "iconv -f CP932 -t ISO-2022-JP < $work/sjis.txt" \
    "$cli decode-header < $work/jis.txt"
echo "jis2sjis / iconv $(stat filters "t[0] / t[1]")x," \
     "sjis2jis / iconv $(stat filters "t[2] / t[3]")x," \
     "decode-header / iconv $(stat filters "t[4] / t[1]")x (time; below 1 is faster)"

echo "== resident memory"
for area in un uc; do
    for sort in 0 1; do
        kb=$(/usr/bin/time -f %M "$cli" list "$work/$area" pelorin.bench --sort $sort --format x 2>&1 >/dev/null | tail -1)
        echo "$area --sort $sort: max RSS $kb KB, $(python3 -c "print(round($kb * 1024 / $messages))") bytes per message"
    done
done
kb=$(/usr/bin/time -f %M "$cli" jis2sjis <"$work/jis.txt" 2>&1 >/dev/null | tail -1)
echo "jis2sjis on 52 MB: max RSS $kb KB"
kb=$(/usr/bin/time -f %M "$cli" decode-header <"$work/jis.txt" 2>&1 >/dev/null | tail -1)
echo "decode-header on 52 MB: max RSS $kb KB"
