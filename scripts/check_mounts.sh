#!/usr/bin/env bash
# Copies onto loop-mounted ext4 images with the real copy run and checks three things:
# 0. a destination unmounted (umount -l) between its choice and the run is refused as "the
#    destination was disconnected": nothing lands in the bare mount point or on the image;
# 1. a destination unmounted (umount -l) after the first of three sub-folders ends "the
#    destination was disconnected", writes nothing into the bare mount point, and leaves
#    the first sub-folder whole on the image;
# 2. with dst/A another mounted image, the run returns only once that image's data is on
#    its loop device: the image file, read beside the mount, holds every file of A while a
#    control file written after the run (not flushed) is not in it yet.
# Usage (as root): check_mounts.sh [SPRIGWELL_COPY_TREE]; exit 0 when every check passed,
# 1 when one failed, 77 when it cannot run here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd) name="mount check"
. "$here/check_common.sh"
[ "$(id -u)" -eq 0 ] || skip "mounting needs root"
command -v mkfs.ext4 >/dev/null || skip "no mkfs.ext4"
prepare_scratch mounts "${1:-}"
dst=$scratch/dst src=$scratch/src && mounts="$dst/A $mnt" && mkdir -p "$dst/A"
truncate -s 100M "$scratch/inner.img" && mkfs.ext4 -q "$scratch/inner.img" || skip "mkfs.ext4 failed"
mount_ext4 "$scratch/stick.img" 400M
# Each 1 MB file is text naming itself, so that it can be found in an image.
for s in A B C; do
    mkdir -p "$src/$s"
    for i in $(seq 40); do head -c 1M <(yes "sprigwell $s file $i") >"$src/$s/f$i"; done
done

# Runs copy_tree with OPTION (--chosen-before or --pause, each with a file it waits on) on the
# SOURCEs into the stick, unmounts the stick (umount -l) once the run prints WAIT_LINE, lets it
# go on and prints what it said into $out, its status into $status; then checks that nothing
# landed in the bare mount point and mounts the stick again.
unmount_during() {
    local option=$1 wait_line=$2 && shift 2
    out=$scratch/run.out status=0
    touch "$scratch/pause"
    "$copy_tree" "$option" "$scratch/pause" "$@" "$mnt" >"$out" 2>&1 &
    local run=$!
    for _ in $(seq 600); do grep -q "^$wait_line" "$out" && break; sleep 0.05; done
    umount -l "$mnt"
    rm "$scratch/pause"
    wait "$run" || status=$?
    sed "s/^/   /" "$out"
    check "nothing in the bare mount point" [ -z "$(ls -A "$mnt")" ]
    for _ in $(seq 100); do losetup -j "$scratch/stick.img" | grep -q . || break; sleep 0.1; done
    mount -o loop "$scratch/stick.img" "$mnt"
}

# 0. Unmounted between its choice and the run.
unmount_during --chosen-before chosen "$src/A"
check "the run did not start" [ "$status" -eq 1 ]
check "refused: the destination was disconnected" \
    grep -q "^refused: Nothing was copied: the destination was disconnected" "$out"
check "nothing on the image" [ "$(ls -A "$mnt")" = lost+found ]

# 1. Unmounted while paused after A.
unmount_during --pause "copied A" "$src/A" "$src/B" "$src/C"
check "the run failed" [ "$status" -eq 1 ]
check "the reason is the disconnected destination" grep -qx "failed: $mnt: the destination was disconnected" "$out"
check "A whole on the image" diff -r "$src/A" "$mnt/A"
check "B and C not started" [ ! -e "$mnt/B" -a ! -e "$mnt/C" ]
umount "$mnt"

# 2. dst/A another drive.
mount -o loop "$scratch/inner.img" "$dst/A"
out=$scratch/run2.out
run_copy "$src/A" "$src/B" "$dst"
head -c 1M <(yes "sprigwell control") >"$dst/A/control"
on_image() { grep -a -o "$1" "$scratch/inner.img" | sort -u | wc -l; }
check "the run finished" [ "$status" -eq 0 ]
check "all 40 files of A on the inner image's device" [ "$(on_image 'sprigwell A file [0-9]*')" -eq 40 ]
check "an unflushed control file not yet there" [ "$(on_image 'sprigwell control')" -eq 0 ]
finish
