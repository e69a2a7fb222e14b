#!/usr/bin/env bash
# Sprigwell started where no window can open must say so in one line on stderr and end
# with status 1, not abort with Qt's plugin advice.
#
# Usage: no_display_test.sh SPRIGWELL
set -euo pipefail

program=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A display number that no X server listens on.
free_display=:4711
while [ -e "/tmp/.X11-unix/X${free_display#:}" ]; do
    free_display=":$((${free_display#:} + 1))"
done

failures=0
# expect NAME EXPECTED-TEXT ENV-ARGUMENTS...
expect() {
    local name=$1 expected=$2
    shift 2
    local status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$program" \
        >"$scratch/out" 2>"$scratch/err" </dev/null || status=$?
    local lines
    lines=$(wc -l <"$scratch/err")
    if [ "$status" -eq 1 ] && [ "$lines" -eq 1 ] && grep -qF "$expected" "$scratch/err" \
        && [ ! -s "$scratch/out" ]; then
        echo "PASS $name: $(cat "$scratch/err")"
    else
        echo "FAIL $name: status $status, $lines lines on stderr, expected one with \"$expected\":"
        cat "$scratch/err"
        failures=$((failures + 1))
    fi
}

expect "nothing set" "no display is set"
expect "unreachable X display" "the display \"$free_display\" could not be opened" \
    DISPLAY="$free_display"
expect "unknown platform" "the window system \"nowhere\" could not be started" \
    QT_QPA_PLATFORM=nowhere

[ "$failures" -eq 0 ]
