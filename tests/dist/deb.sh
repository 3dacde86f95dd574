#!/bin/sh
# The Debian package: built with cpack from the build folder, its dependencies computed (Qt
# among them), unpacked with dpkg -x into a scratch root and checked as an installed tree.
# usage: deb.sh BUILD_DIR SOURCE_DIR
set -eu
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
. "$src/tests/dist/installed_files.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >cpack.log 2>&1) \
    || { cat "$tmp/cpack.log"; exit 1; }
deb=$(ls "$tmp"/out/pelorin_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
fail=0
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc\\+\\+6 qt6-qpa-plugins libjpeg62-turbo libcurl4 \
           libgif7 libtiff6; do
    echo "$depends" | grep -q -E "(^|, )$lib( |,|\$)" || { echo "Depends lacks $lib"; fail=1; }
done
[ "$(dpkg-deb -f "$deb" Package)" = pelorin ] || { echo "package name"; fail=1; }
dpkg -x "$deb" "$tmp/root"
check_installed "$tmp/root" /usr || fail=1
[ $fail -eq 0 ] && echo "package: ok"
exit $fail
