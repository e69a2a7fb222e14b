#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree (build/dev unless another is
# given), unpacks it into a scratch root and checks what a user's machine would get: the
# Qt runtime in Depends, every file in place, valid menu entry and metainfo, a binary
# whose libraries all resolve, and that it opens its window and closes cleanly.
set -euo pipefail
cd "$(dirname "$0")/.."
name="package check" build=${1:-build/dev} app_id=io.github.sprigwell.Sprigwell
. scripts/check_common.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" \
    || { cat "$scratch/cpack.log"; exit 1; }
package=$(find "$scratch/out" -maxdepth 1 -name 'sprigwell_*.deb' | head -n 1)
[ -n "$package" ] || { echo "FAIL cpack wrote no .deb"; exit 1; }
echo "package $(basename "$package")"

for library in libqt6core6 libqt6gui6 libqt6widgets6; do
    check "Depends names $library" grep -qw "$library" <<<"$(dpkg-deb -f "$package" Depends)"
done
check "Recommends names fonts-liberation" grep -qw fonts-liberation \
    <<<"$(dpkg-deb -f "$package" Recommends)"

root=$scratch/root share=$scratch/root/usr/share
dpkg-deb -x "$package" "$root"
desktop=$share/applications/$app_id.desktop metainfo=$share/metainfo/$app_id.metainfo.xml
check "usr/bin/sprigwell is executable" test -x "$root/usr/bin/sprigwell"
check "menu entry installed" test -f "$desktop"
check "metainfo installed" test -f "$metainfo"
check "32x32 icon installed" grep -q "PNG image data, 32 x 32" \
    <<<"$(file "$share/icons/hicolor/32x32/apps/$app_id.png")"
check "scalable icon installed" grep -q "SVG" <<<"$(file "$share/icons/hicolor/scalable/apps/$app_id.svg")"
check "desktop-file-validate" desktop-file-validate "$desktop"
check "appstreamcli validate" appstreamcli validate --no-net --no-color "$metainfo"
check "menu entry runs the installed binary" \
    test -x "$root/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
check "menu entry names the installed icon" grep -qx "Icon=$app_id" "$desktop"
check "ldd resolves every library" test -z "$(ldd "$root/usr/bin/sprigwell" | grep "not found")"
check "the installed binary opens its window and closes cleanly" \
    bash tests/real_window/real_window_test.sh "$root/usr/bin/sprigwell" "$build/tests/real_window/close_request"
finish
