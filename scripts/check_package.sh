#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree (build/dev unless another is
# given), unpacks it into a scratch root and checks what a user's machine would get: the
# Qt runtime in Depends, every file in place, valid menu entry and metainfo, a binary
# whose libraries all resolve, and that it opens its window and closes cleanly.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/dev}
app_id=io.github.sprigwell.Sprigwell
close_request=$build/tests/real_window/close_request
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}
lacks_text() { ! grep -q "$1" <<<"$2"; }

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" \
    || { cat "$scratch/cpack.log"; exit 1; }
package=$(find "$scratch/out" -maxdepth 1 -name 'sprigwell_*.deb' | head -n 1)
[ -n "$package" ] || { echo "FAIL cpack wrote no .deb"; exit 1; }
echo "package $(basename "$package")"

depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6; do
    check "Depends names $library" grep -qw "$library" <<<"$depends"
done
check "Recommends names fonts-liberation" grep -qw fonts-liberation \
    <<<"$(dpkg-deb -f "$package" Recommends)"

root=$scratch/root
dpkg-deb -x "$package" "$root"
share=$root/usr/share
desktop=$share/applications/$app_id.desktop
metainfo=$share/metainfo/$app_id.metainfo.xml
png=$share/icons/hicolor/32x32/apps/$app_id.png
check "usr/bin/sprigwell is executable" test -x "$root/usr/bin/sprigwell"
check "menu entry installed" test -f "$desktop"
check "metainfo installed" test -f "$metainfo"
check "32x32 icon installed" grep -q "PNG image data, 32 x 32" <<<"$(file "$png")"
check "scalable icon installed" grep -q "SVG" <<<"$(file "$share/icons/hicolor/scalable/apps/$app_id.svg")"

check "desktop-file-validate" desktop-file-validate "$desktop"
check "appstreamcli validate" appstreamcli validate --no-net --no-color "$metainfo"
check "menu entry runs the installed binary" \
    test -x "$root/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
check "menu entry names the installed icon" grep -qx "Icon=$app_id" "$desktop"

libraries=$(ldd "$root/usr/bin/sprigwell")
check "ldd resolves every library" lacks_text "not found" "$libraries"

check "the installed binary opens its window and closes cleanly" \
    bash tests/real_window/real_window_test.sh "$root/usr/bin/sprigwell" "$close_request"

[ "$failures" -eq 0 ] || { echo "$failures package check(s) failed"; exit 1; }
echo "package check passed"
