# Sourced by the check scripts, with `name` set: one line a check, PASS or FAIL, the count at
# the end (finish, which fails when a check did), and skip, which ends the script with the
# reason and 77, the status ctest is told means "skipped".
passed=0 failed=0
check() {
    local what=$1
    shift
    if "$@"; then passed=$((passed + 1)) && echo "PASS $what"; else failed=$((failed + 1)) && echo "FAIL $what"; fi
}
skip() { echo "$name skipped: $*" && exit 77; }
finish() { echo "$name: $passed passed, $failed failed" && [ "$failed" -eq 0 ]; }
