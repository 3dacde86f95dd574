#!/usr/bin/env bash
# Saves a picture of the main window for anyone to look at: the window on a copy of the demo
# packet with its mail area open, as main_window.png in the folder given (default
# build/screenshots). It runs on Qt's offscreen platform and needs no display; with
# PELORIN_XVFB=1 and xvfb-run installed it runs on a virtual X server instead.
#
#   scripts/screenshot.sh [FOLDER]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/build/screenshots}
build=$root/build/screenshot
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELORIN_BENCH=OFF >/dev/null
cmake --build "$build" --target app_screenshot_test
mkdir -p "$out"
PELORIN_SCREENSHOT_DIR=$(cd "$out" && pwd)
export PELORIN_SCREENSHOT_DIR
if [ "${PELORIN_XVFB:-0}" = 1 ] && command -v xvfb-run >/dev/null; then
    QT_QPA_PLATFORM=xcb xvfb-run -a "$build/tests/app_screenshot_test" >/dev/null
else
    QT_QPA_PLATFORM=offscreen "$build/tests/app_screenshot_test" >/dev/null
fi
echo "$PELORIN_SCREENSHOT_DIR/main_window.png"
