#!/usr/bin/env bash
# The reading walk-through: opens a copy of the demo packet in the main window and reads every
# unread message by pressing Space only, until every area's unread count is zero; pictures of
# the way (start, first message, halfway, all read) go to the folder given (default
# build/walkthrough) as walkthrough_*.png; with pictures switched on it then shows the mailing
# list's PNG map and JPEG photo (walkthrough_5_png_picture, _6_jpeg_picture). Then the composing
# walk-through answers a demo message: Ctrl+R, the header form, the address book, the test
# editor of tests/support (which adds a line to the message) and はい in the posting question,
# with pictures of the header form, the address book, the posting question and the window
# afterwards as compose_*.png.
# It runs on a virtual X server when xvfb-run is installed (Debian package xvfb), else on Qt's
# offscreen platform.
#
# Then the settings walk-through opens 設定 and saves a picture of each page and of the font
# dialog as setup_*.png; last, the search window with its results, search_1_results.png.
#
#   scripts/walkthrough.sh [FOLDER]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/build/walkthrough}
build=$root/build/walkthrough-build
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELORIN_BENCH=OFF >/dev/null
cmake --build "$build" --target app_walkthrough_test app_compose_walkthrough_test \
    app_setup_walkthrough_test app_search_window_test
mkdir -p "$out"
PELORIN_SCREENSHOT_DIR=$(cd "$out" && pwd)
PELORIN_HOME=$(mktemp -d)
export PELORIN_SCREENSHOT_DIR PELORIN_HOME
trap 'rm -rf "$PELORIN_HOME"' EXIT
for walk in app_walkthrough_test app_compose_walkthrough_test app_setup_walkthrough_test \
    app_search_window_test; do
    if command -v xvfb-run >/dev/null; then
        QT_QPA_PLATFORM=xcb xvfb-run -a "$build/tests/$walk"
    else
        QT_QPA_PLATFORM=offscreen "$build/tests/$walk"
    fi
done
ls "$PELORIN_SCREENSHOT_DIR"/walkthrough_*.png "$PELORIN_SCREENSHOT_DIR"/compose_*.png \
    "$PELORIN_SCREENSHOT_DIR"/setup_*.png "$PELORIN_SCREENSHOT_DIR"/search_*.png
