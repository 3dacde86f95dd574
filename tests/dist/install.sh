#!/bin/sh
# `cmake --install` into a temporary DESTDIR, then the installed tree is checked.
# usage: install.sh BUILD_DIR SOURCE_DIR
set -eu
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
. "$src/tests/dist/installed_files.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
DESTDIR=$tmp/root cmake --install "$build" --prefix /opt/pelorin >/dev/null
check_installed "$tmp/root" /opt/pelorin
echo "installed tree: ok"
