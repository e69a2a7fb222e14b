#!/usr/bin/env bash
# Cancel on a slow source drive that reads far ahead: the source on an ext4 loop device
# whose reads the block-I/O cgroup throttles to 1 MB/s, read_ahead_kb 2560, caches dropped
# before each run. A stop asked 2, 3, 4 and 6 s into the copy of a 40 MB file must end the
# run within half a second, whatever chunk it is in.
# Usage (as root): check_slow_cancel.sh [SPRIGWELL_COPY_TREE]; exit 0 when every check
# passed, 1 when one failed, 77 when it cannot run here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd) name="slow drive cancel"
. "$here/check_common.sh"
[ "$(id -u)" -eq 0 ] || skip "mounting and throttling need root"
command -v mkfs.ext4 >/dev/null || skip "no mkfs.ext4"
prepare_scratch slow "${1:-}"
dst=$scratch/dst && mkdir "$dst"
mount_ext4 "$scratch/slow.img" 64M
mkdir "$mnt/A" && head -c 40M /dev/urandom >"$mnt/A/large" && sync
loop=$(basename "$(findmnt -no SOURCE "$mnt")")
echo 2560 >"/sys/block/$loop/queue/read_ahead_kb"
device=$(cat "/sys/block/$loop/dev")
# cgroup v2's io.max where the io controller is there, else v1's blkio throttle.
if grep -qw io /sys/fs/cgroup/cgroup.controllers 2>/dev/null; then
    group=/sys/fs/cgroup/sprigwell-slow.$$
    echo +io >/sys/fs/cgroup/cgroup.subtree_control 2>/dev/null || :
    mkdir "$group" && echo "$device rbps=1048576" >"$group/io.max" || skip "cannot throttle reads (io.max)"
elif [ -f /sys/fs/cgroup/blkio/blkio.throttle.read_bps_device ]; then
    group=/sys/fs/cgroup/blkio/sprigwell-slow.$$
    mkdir "$group" && echo "$device 1048576" >"$group/blkio.throttle.read_bps_device" || skip "cannot throttle reads (blkio)"
else
    skip "no block-I/O cgroup to throttle reads"
fi

for after in 2 3 4 6; do
    rm -rf "${dst:?}/A" && sync && echo 3 >/proc/sys/vm/drop_caches
    out=$scratch/run$after.out
    (echo "$BASHPID" >"$group/cgroup.procs" && exec "$copy_tree" --stop-after "$after" "$mnt/A" "$dst") >"$out" 2>&1 || :
    sed "s/^/   /" "$out"
    check "stopped ${after} s in, within 0.5 s" \
        awk '/^stopped in / { took = $3 } END { exit !(took != "" && took < 0.5) }' "$out"
done
check "no part of the file left" [ ! -e "$dst/A/large" ]
finish
