#!/usr/bin/env bash
# Runs Sprigwell on a real X server (Xvfb, no window manager): waits for its window by
# caption, checks the client size and, from a screenshot, the purple background and the
# list painted over it, then asks the window to close as a window manager would and
# expects the program to end with status 0.
#
# Usage: real_window_test.sh SPRIGWELL CLOSE_REQUEST [SCREENSHOT.png]
set -euo pipefail
[ -n "${SPRIGWELL_UNDER_XVFB:-}" ] || SPRIGWELL_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"

program=$1 close_request=$2 scratch=$(mktemp -d) pid=
screenshot=${3:-$scratch/window.png} log=$scratch/stderr.log
caption='Sprigwell v1.0 beta' purple=128,0,128
fail() { echo "FAIL: $*" >&2; [ ! -s "$log" ] || { echo "--- the program's stderr:" && cat "$log"; } >&2; exit 1; }
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || :; rm -rf "$scratch"' EXIT
# "R,G,B" of one pixel of the screenshot, in client coordinates.
pixel() { convert "$screenshot" -format "%[fx:round(255*p{$1}.r)],%[fx:round(255*p{$1}.g)],%[fx:round(255*p{$1}.b)]" info:; }

QT_QPA_PLATFORM=xcb "$program" 2>"$log" &
pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name "^${caption//./\\.}\$" | head -n 1) \
    || fail "no window titled \"$caption\" appeared within 20 s"
size=$(xwininfo -id "$window" | awk '/^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print w "x" h }')
[ "$size" = 532x533 ] || fail "client area is $size, expected 532x533"
echo "window $window titled \"$caption\", client area $size"

# Mapped is not yet painted: take screenshots until the background shows, for at most 10 s.
# The left and right margins beside the list show the background; the list's middle does not.
for _ in $(seq 100); do
    import -window "$window" "$screenshot"
    [ "$(pixel 3,240)" = $purple ] && break
    sleep 0.1
done
for point in 3,240 527,240; do
    [ "$(pixel $point)" = $purple ] || fail "background at $point is RGB($(pixel $point)), expected RGB($purple)"
done
colour=$(pixel 264,240)
[ "$colour" != $purple ] || fail "the list at 264,240 shows the window's purple"
echo "background RGB($purple), list RGB($colour)"

"$close_request" "$window"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program still runs 10 s after its window was closed"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "closed; the program ended with status 0"
