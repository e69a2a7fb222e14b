#!/usr/bin/env bash
# Runs Sprigwell on a real X server (Xvfb, no window manager): waits for its window by
# caption, checks the client size and, from a screenshot, the purple background and the
# list painted over it, then asks the window to close as a window manager would and
# expects the program to end with status 0.
#
# Usage: real_window_test.sh SPRIGWELL CLOSE_REQUEST [SCREENSHOT.png]
set -euo pipefail

if [ -z "${SPRIGWELL_UNDER_XVFB:-}" ]; then
    SPRIGWELL_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

program=$1
close_request=$2
scratch=$(mktemp -d)
screenshot=${3:-$scratch/window.png}
log=$scratch/stderr.log
pid=

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$log" ]; then
        echo "--- the program's stderr:" >&2
        cat "$log" >&2
    fi
    exit 1
}
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

caption='Sprigwell v1.0 beta'
width=532
height=533
purple=128,0,128
# Client coordinates: the left and right margins beside the list, and the list's middle.
background_points=("3,240" "527,240")
list_point=264,240

# "R,G,B" of one pixel of the screenshot.
pixel() {
    convert "$screenshot" -format \
        "%[fx:round(255*p{$1}.r)],%[fx:round(255*p{$1}.g)],%[fx:round(255*p{$1}.b)]" info:
}

QT_QPA_PLATFORM=xcb "$program" 2>"$log" &
pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name "^${caption//./\\.}\$" | head -n 1) \
    || fail "no window titled \"$caption\" appeared within 20 s"
echo "window $window titled \"$caption\""

geometry=$(xwininfo -id "$window")
actual_width=$(awk '/^ *Width:/ { print $2 }' <<<"$geometry")
actual_height=$(awk '/^ *Height:/ { print $2 }' <<<"$geometry")
[ "$actual_width" = "$width" ] && [ "$actual_height" = "$height" ] \
    || fail "client area is ${actual_width}x${actual_height}, expected ${width}x${height}"
echo "client area ${actual_width}x${actual_height}"

# Mapped is not yet painted: take screenshots until the background shows, for at most 10 s.
for _ in $(seq 100); do
    import -window "$window" "$screenshot"
    [ "$(pixel "${background_points[0]}")" = "$purple" ] && break
    sleep 0.1
done
for point in "${background_points[@]}"; do
    colour=$(pixel "$point")
    [ "$colour" = "$purple" ] || fail "background at $point is RGB($colour), expected RGB($purple)"
done
colour=$(pixel "$list_point")
[ "$colour" != "$purple" ] || fail "the list at $list_point shows the window's purple"
echo "background RGB($purple), list RGB($colour)"

"$close_request" "$window"
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program still runs 10 s after its window was closed"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "closed; the program ended with status 0"
