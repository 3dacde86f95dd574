#!/usr/bin/env bash
# The reading walk-through: opens a copy of the demo packet in the main window and reads every
# unread message by pressing Space only, until every area's unread count is zero; pictures of
# the way (start, first message, halfway, all read) go to the folder given (default
# build/walkthrough) as walkthrough_*.png. It runs on a virtual X server when xvfb-run is
# installed (Debian package xvfb), else on Qt's offscreen platform.
#
#   scripts/walkthrough.sh [FOLDER]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/build/walkthrough}
build=$root/build/walkthrough-build
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELORIN_BENCH=OFF >/dev/null
cmake --build "$build" --target app_walkthrough_test
mkdir -p "$out"
PELORIN_SCREENSHOT_DIR=$(cd "$out" && pwd)
PELORIN_HOME=$(mktemp -d)
export PELORIN_SCREENSHOT_DIR PELORIN_HOME
trap 'rm -rf "$PELORIN_HOME"' EXIT
if command -v xvfb-run >/dev/null; then
    QT_QPA_PLATFORM=xcb xvfb-run -a "$build/tests/app_walkthrough_test"
else
    QT_QPA_PLATFORM=offscreen "$build/tests/app_walkthrough_test"
fi
ls "$PELORIN_SCREENSHOT_DIR"/walkthrough_*.png
