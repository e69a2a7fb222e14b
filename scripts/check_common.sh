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

# The copy driver $copy_tree (the second argument, else the dev build's), a scratch folder
# /tmp/sprigwell-TAG.* ($scratch) with an empty mount point $mnt in it; on exit, whatever is
# mounted on the paths in $mounts (at first $mnt) is unmounted, the loop device $loop and the
# cgroup $group where a script set them are let go, and the scratch folder is removed.
prepare_scratch() {
    copy_tree=${2:-$here/../build/dev/tests/sprigwell_copy_tree}
    [ -x "$copy_tree" ] || skip "build sprigwell_copy_tree first"
    scratch=$(mktemp -d "/tmp/sprigwell-$1.XXXXXX") && mnt=$scratch/mnt mounts=$scratch/mnt loop='' group=''
    mkdir "$mnt" && trap clean_up EXIT && trap 'exit 130' INT TERM HUP
}
clean_up() {
    for m in $mounts; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || :; done
    [ -z "$loop" ] || losetup -d "$loop" || :
    [ -z "$group" ] || rmdir "$group" 2>/dev/null || :
    rm -rf --one-file-system "$scratch"
}
# An ext4 image FILE of SIZE (mkfs.ext4's options after them), loop-mounted on $mnt.
mount_ext4() {
    truncate -s "$2" "$1" && mkfs.ext4 -q "${@:3}" "$1" || skip "mkfs.ext4 failed"
    mount -o loop "$1" "$mnt" 2>/dev/null || skip "no loop device"
}
# Runs the copy driver with the arguments, what it says into $out and shown indented, its
# exit status in $status.
run_copy() { status=0 && "$copy_tree" "$@" >"$out" 2>&1 || status=$? && sed "s/^/   /" "$out"; }
