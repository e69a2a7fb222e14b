#!/usr/bin/env bash
# Checks the read-back of the copies on a loop-mounted ext4 image with the real copy run:
# after the flush, while the run waits before its check, bytes of one copy are changed in
# the image file behind the file system and one source file is changed; the check must
# name that copy and no other, read the holes of a sparse copy as zeros, and not read a
# file left up to date, though its blocks on the image were changed too.
# Usage (as root): check_readback.sh [SPRIGWELL_COPY_TREE]; exit 0 when every check passed,
# 1 when one failed, 77 when it cannot run here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd) name="read-back check"
. "$here/check_common.sh"
[ "$(id -u)" -eq 0 ] || skip "mounting needs root"
command -v mkfs.ext4 >/dev/null && command -v filefrag >/dev/null || skip "no mkfs.ext4 or filefrag"
prepare_scratch readback "${1:-}"
src=$scratch/src img=$scratch/stick.img && mkdir -p "$src/set"
mount_ext4 "$img" 64M -b 4096

# Changes 8 bytes inside the first block of `file` on the image itself.
corrupt_on_image() {
    local block
    block=$(filefrag -v "$1" | awk '$1 == "0:" { sub(/\.+$/, "", $4); print $4 }')
    printf 'SPRIGWEL' | dd of="$img" bs=1 seek=$((block * 4096 + 100)) conv=notrunc status=none
}

# A first run leaves kept.bin at the destination, up to date for the second.
head -c 1M /dev/urandom >"$src/set/kept.bin"
"$copy_tree" "$src/set" "$mnt" >/dev/null
# bad and good are large enough to be hashed behind their in-kernel copies.
for f in bad good; do head -c 12M /dev/urandom >"$src/set/$f.bin"; done
head -c 4M /dev/urandom >"$src/set/changed.bin"
truncate -s 3M "$src/set/sparse.bin" && printf 'data after a hole' | dd of="$src/set/sparse.bin" bs=1 seek=$((1 << 20)) conv=notrunc status=none

out=$scratch/run.out status=0
touch "$scratch/hold"
"$copy_tree" --check "$scratch/hold" "$src/set" "$mnt" >"$out" 2>&1 &
run=$!
for _ in $(seq 600); do grep -q '^checking' "$out" && break; sleep 0.05; done
check "the run stops before its check" grep -q '^checking' "$out"
corrupt_on_image "$mnt/set/bad.bin"
corrupt_on_image "$mnt/set/kept.bin"
head -c 4M /dev/urandom >"$src/set/changed.bin"
rm "$scratch/hold"
wait "$run" || status=$?
sed "s/^/   /" "$out"
check "the run finished" [ "$status" -eq 0 ]

# FILE, what befell it, and how many times the check names it (1 or 0).
named() {
    check "$1, $2: named $3 time(s)" \
        [ "$(grep -cxF "problem: $mnt/set/$1: the copy reads back differently from what was written" "$out" || :)" -eq "$3" ]
}
named bad.bin "changed on the drive behind the file system" 1
named good.bin "copied well" 0
named changed.bin "its source changed after its copy" 0
named sparse.bin "holes read back as the zeros hashed" 0
named kept.bin "left up to date, then changed on the drive" 0
check "only those problems" [ "$(grep -c '^problem: ' "$out" || :)" -eq 1 ]
check "three copies read back as written" \
    grep -qx "note: 3 copies were read back from the drive as they were written." "$out"
check "no note of memory on ext4" [ "$(grep -c 'may answer from memory' "$out" || :)" -eq 0 ]
finish
