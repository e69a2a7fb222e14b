#!/usr/bin/env bash
# Builds the program optimised (the `release` preset, as scripts/run.sh and the install
# steps do) and the Debian package from that tree, unpacks it into a scratch root and checks
# what a user's machine would get: an optimised binary, the Qt runtime in Depends, every file
# in place, valid menu entry and metainfo, libraries that all resolve, and that it opens its
# window and closes cleanly. The window is closed by the test suite's close_request (built
# in build/dev unless another is given).
set -euo pipefail
cd "$(dirname "$0")/.."
name="package check" build=build/release app_id=io.github.sprigwell.Sprigwell
close_request=${1:-build/dev/tests/real_window/close_request}
. scripts/check_common.sh
[ -x "$close_request" ] || { echo "FAIL no $close_request: build the tests first"; exit 1; }
cmake --preset release >/dev/null
cmake --build --preset release --target sprigwell
check "the package is built optimised" grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' "$build/CMakeCache.txt"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" || { cat "$scratch/cpack.log"; exit 1; }
package=$(find "$scratch/out" -maxdepth 1 -name 'sprigwell_*.deb' | head -n 1)
[ -n "$package" ] || { echo "FAIL cpack wrote no .deb"; exit 1; }
echo "package $(basename "$package")"

for library in libqt6core6 libqt6gui6 libqt6widgets6; do
    check "Depends names $library" grep -qw "$library" <<<"$(dpkg-deb -f "$package" Depends)"
done
check "Recommends names fonts-liberation" grep -qw fonts-liberation <<<"$(dpkg-deb -f "$package" Recommends)"

root=$scratch/root share=$scratch/root/usr/share
dpkg-deb -x "$package" "$root"
desktop=$share/applications/$app_id.desktop metainfo=$share/metainfo/$app_id.metainfo.xml
check "usr/bin/sprigwell is executable" test -x "$root/usr/bin/sprigwell"
check "menu entry installed" test -f "$desktop"
check "metainfo installed" test -f "$metainfo"
check "32x32 icon installed" grep -q "PNG image data, 32 x 32" <<<"$(file "$share/icons/hicolor/32x32/apps/$app_id.png")"
check "scalable icon installed" grep -q "SVG" <<<"$(file "$share/icons/hicolor/scalable/apps/$app_id.svg")"
check "desktop-file-validate" desktop-file-validate "$desktop"
check "appstreamcli validate" appstreamcli validate --no-net --no-color "$metainfo"
check "menu entry runs the installed binary" test -x "$root/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
check "menu entry names the installed icon" grep -qx "Icon=$app_id" "$desktop"
check "ldd resolves every library" test -z "$(ldd "$root/usr/bin/sprigwell" | grep "not found")"
check "the installed binary opens its window and closes cleanly" \
    bash tests/real_window/real_window_test.sh "$root/usr/bin/sprigwell" "$close_request"
finish
