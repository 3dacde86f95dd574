#!/usr/bin/env bash
# Opening a 100,000-message area, timed as whole programs in one run with hyperfine: the floor
# (cat, wc -l, and open_floor: the file mapped, frames or index lines split, header fields
# located) next to `pelorin-cli list` in file and thread order, for an rnews area and an
# indexed one; then the converter filters next to iconv; then resident memory (/usr/bin/time).
# Prints the ratios. Run through `tools/dev bench-open` (Release build); needs hyperfine.
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

mean() {  # the mean in ms of command N of a hyperfine JSON export
    python3 -c "import json,sys; r=json.load(open(sys.argv[1]))['results']; print('%.1f' % (r[int(sys.argv[2])]['mean']*1000))" "$1" "$2"
}
ratio() { python3 -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }

run() {  # json, commands...
    local json=$1; shift
    hyperfine --warmup 2 --runs 10 --style basic --export-json "$json" "$@" >&2
}

echo "== rnews area ($(du -h "$un/0000001.MSG" | cut -f1))"
run "$work/un.json" \
    "cat $un/0000001.MSG" \
    "wc -l $un/0000001.MSG" \
    "$build/bench/open_floor rnews $un/0000001.MSG" \
    "$cli list $un pelorin.bench --sort 0 --format x" \
    "$cli list $un pelorin.bench --sort 1 --format x"
cat_ms=$(mean "$work/un.json" 0); wc_ms=$(mean "$work/un.json" 1); floor_ms=$(mean "$work/un.json" 2)
open_ms=$(mean "$work/un.json" 3); threads_ms=$(mean "$work/un.json" 4)
echo "cat $cat_ms ms, wc -l $wc_ms ms, floor $floor_ms ms, list --sort 0 $open_ms ms, --sort 1 $threads_ms ms"
echo "open / floor $(ratio "$open_ms" "$floor_ms")x, open / wc -l $(ratio "$open_ms" "$wc_ms")x," \
     "threads on top / open $(ratio "$(python3 -c "print($threads_ms - $open_ms)")" "$open_ms")x"

echo "== indexed area ($(du -h "$uc/0000001.IDX" | cut -f1) index)"
# An index's Subject and From are decoded when first read: the last run shows every subject.
run "$work/uc.json" \
    "$build/bench/open_floor index $uc/0000001.IDX" \
    "$cli list $uc pelorin.bench --sort 0 --format x" \
    "$cli list $uc pelorin.bench --sort 1 --format x" \
    "$cli list $uc pelorin.bench --sort 0 --format %s"
floor_ms=$(mean "$work/uc.json" 0); open_ms=$(mean "$work/uc.json" 1); threads_ms=$(mean "$work/uc.json" 2)
subjects_ms=$(mean "$work/uc.json" 3)
echo "floor $floor_ms ms, list --sort 0 $open_ms ms, --sort 1 $threads_ms ms," \
     "--sort 0 showing every subject $subjects_ms ms"
echo "open / floor $(ratio "$open_ms" "$floor_ms")x," \
     "threads on top / open $(ratio "$(python3 -c "print($threads_ms - $open_ms)")" "$open_ms")x," \
     "every subject shown / floor $(ratio "$subjects_ms" "$floor_ms")x"

echo "== converter filters"
head -c 52000000 "$un/0000001.MSG" >"$work/jis.txt"
"$cli" jis2sjis <"$work/jis.txt" >"$work/sjis.txt"
run "$work/filters.json" \
    "$cli jis2sjis < $work/jis.txt" \
    "iconv -f ISO-2022-JP -t CP932 < $work/jis.txt" \
    "$cli sjis2jis < $work/sjis.txt" \
    "iconv -f CP932 -t ISO-2022-JP < $work/sjis.txt"
echo "jis2sjis / iconv $(ratio "$(mean "$work/filters.json" 0)" "$(mean "$work/filters.json" 1)")x," \
     "sjis2jis / iconv $(ratio "$(mean "$work/filters.json" 2)" "$(mean "$work/filters.json" 3)")x (time; below 1 is faster)"

echo "== resident memory"
for area in un uc; do
    for sort in 0 1; do
        kb=$(/usr/bin/time -f %M "$cli" list "$work/$area" pelorin.bench --sort $sort --format x 2>&1 >/dev/null | tail -1)
        echo "$area --sort $sort: max RSS $kb KB, $(python3 -c "print(round($kb * 1024 / $messages))") bytes per message"
    done
done
kb=$(/usr/bin/time -f %M "$cli" jis2sjis <"$work/jis.txt" 2>&1 >/dev/null | tail -1)
echo "jis2sjis on 52 MB: max RSS $kb KB"
