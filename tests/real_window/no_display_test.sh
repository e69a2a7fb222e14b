#!/usr/bin/env bash
# Sprigwell started where no window can open must say so in one line on stderr and end
# with status 1, not abort with Qt's plugin advice.
#
# Usage: no_display_test.sh SPRIGWELL
set -euo pipefail
program=$1 scratch=$(mktemp -d) name="no-display check"
. "$(dirname "$0")/../../scripts/check_common.sh"
trap 'rm -rf "$scratch"' EXIT
# A display number that no X server listens on.
display=4711
while [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done

# expect NAME EXPECTED-TEXT ENV-ARGUMENTS...
expect() {
    local what=$1 expected=$2 status=0
    shift 2
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$program" >"$scratch/out" 2>"$scratch/err" </dev/null || status=$?
    sed "s/^/   /" "$scratch/err"
    check "$what: status 1 ($status), one line on stderr with \"$expected\", nothing on stdout" \
        [ "$status" -eq 1 -a "$(wc -l <"$scratch/err")" -eq 1 -a "$(grep -cF "$expected" "$scratch/err")" -eq 1 \
        -a ! -s "$scratch/out" ]
}
expect "nothing set" "no display is set"
expect "unreachable X display" "the display \":$display\" could not be opened" DISPLAY=":$display"
expect "unknown platform" "the window system \"nowhere\" could not be started" QT_QPA_PLATFORM=nowhere
finish
