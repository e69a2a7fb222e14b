#!/usr/bin/env bash
# Installs what is missing, builds Sprigwell in Release, makes the benchmark data sets in
# a temporary folder, times the scan, a day-count keystroke, the look inside the sub-folders
# (1,000,000 entries) and the copy against find and cp -a (and the copy with its flush
# against cp -a and sync -f), prints the results as Markdown and removes the data again.
#   BENCH_TMPDIR  where the data goes (default: $TMPDIR or /tmp); about 5 GiB at peak
#   BENCH_RUNS    timed rounds per comparison, at least 5 (default 9)
# Arguments go to the benchmark program (--no-listing, --no-copy, --no-second-runs...).
# Where /dev/shm is a RAM file system with 1 GiB free, the small-file copy is timed there
# too, where the disk's own cost per file does not hide the tools' differences.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release >&2

work=$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/sprigwell-bench.XXXXXX")
ram="" mounts=() loops=() sshd_pid="" throttle=""
cleanup() {
    local m l
    [ -z "$throttle" ] || echo "$throttle 0" >/sys/fs/cgroup/blkio/blkio.throttle.write_bps_device || :
    for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || :; done
    for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || :; done
    [ -z "$sshd_pid" ] || kill "$sshd_pid" 2>/dev/null || :
    rm -rf --one-file-system "$work" ${ram:+"$ram"}
}
trap cleanup EXIT
trap 'exit 130' INT TERM

need_kib=$((5 * 1024 * 1024))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt "$need_kib" ]; then
    echo "Need 5 GiB free in $work, have $((free_kib / 1024)) MiB; set BENCH_TMPDIR." >&2
    exit 1
fi
extra_sets=()
if [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ] \
    && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -ge $((1024 * 1024)) ]; then
    ram=$(mktemp -d /dev/shm/sprigwell-bench.XXXXXX)
    extra_sets=(--memory-fs "$ram")
fi

# An image of `size` made by `mkfs...` on a loop device, mounted on $work/NAME by `mount...`;
# on success the set's options are added: --NAME FOLDER --NAME-reads COUNTER.
mount_image() {
    local name=$1 size=$2 mkfs=$3 mount=$4 loop
    truncate -s "$size" "$work/$name.img" && $mkfs "$work/$name.img" >/dev/null 2>&1 || return 1
    loop=$(losetup --find --show "$work/$name.img") || return 1
    loops+=("$loop")
    mkdir "$work/$name" && $mount "$loop" "$work/$name" >/dev/null 2>&1 || return 1
    mounts+=("$work/$name")
    extra_sets+=(--"$name" "$work/$name" --"$name"-reads "/sys/block/${loop#/dev/}/stat")
}

# A private sshd on the loopback, with keys made here, serving $work/share; mounted through
# sshfs on $work/sftp. What its SFTP server process reads is counted.
mount_sftp() {
    local ssh=$work/ssh port server
    mkdir -p "$ssh" "$work/share" "$work/sftp" /run/sshd
    ssh-keygen -q -t ed25519 -N "" -f "$ssh/host" && ssh-keygen -q -t ed25519 -N "" -f "$ssh/user" || return 1
    cp "$ssh/user.pub" "$ssh/authorized"
    port=$((20000 + RANDOM % 20000))
    cat >"$ssh/sshd_config" <<CONFIG
ListenAddress 127.0.0.1
Port $port
HostKey $ssh/host
AuthorizedKeysFile $ssh/authorized
PermitRootLogin prohibit-password
PasswordAuthentication no
StrictModes no
PidFile $ssh/sshd.pid
Subsystem sftp /usr/lib/openssh/sftp-server
CONFIG
    /usr/sbin/sshd -f "$ssh/sshd_config" -E "$ssh/log" || return 1
    for _ in $(seq 50); do [ -s "$ssh/sshd.pid" ] && break; sleep 0.1; done
    sshd_pid=$(cat "$ssh/sshd.pid") || return 1
    sshfs -p "$port" -o "IdentityFile=$ssh/user,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null" \
        "root@127.0.0.1:$work/share" "$work/sftp" 2>>"$ssh/log" || return 1
    mounts+=("$work/sftp")
    server=$(pgrep -n -f '^/usr/lib/openssh/sftp-server') || return 1
    extra_sets+=(--sftp "$work/sftp" --sftp-reads "/proc/$server/io")
}

# A drive that answers every call 1 ms late, as a share does: the tests' FUSE file system
# over $work/behind, mounted on $work/latency.
mount_latency() {
    cmake --preset dev >/dev/null && cmake --build --preset dev --target sprigwell_delay_fs >&2 || return 1
    mkdir -p "$work/behind" "$work/latency"
    build/dev/tests/latency_drive/sprigwell_delay_fs --delay-us 1000 "$work/behind" "$work/latency" || return 1
    mounts+=("$work/latency")
    extra_sets+=(--latency "$work/latency" "$work/behind")
}

# An ext4 image whose loop device takes 20 MB/s of writes, as a USB stick: the block I/O
# controller's limit on its root group, which also holds the kernel's write-back (cgroup v1).
mount_throttled() {
    local rule=/sys/fs/cgroup/blkio/blkio.throttle.write_bps_device loop
    [ -w "$rule" ] || return 1
    truncate -s 512M "$work/throttled.img" && mkfs.ext4 -q "$work/throttled.img" || return 1
    loop=$(losetup --find --show "$work/throttled.img") || return 1
    loops+=("$loop")
    mkdir "$work/throttled" && mount "$loop" "$work/throttled" || return 1
    mounts+=("$work/throttled")
    throttle=$(cat "/sys/block/${loop#/dev/}/dev")
    echo "$throttle $((20 * 1024 * 1024))" >"$rule" || return 1
    extra_sets+=(--throttled "$work/throttled")
}

# As root, second runs are also timed onto the drives people back up to: exFAT through FUSE
# (USB sticks), NTFS through ntfs-3g (external disks formatted for Windows) and an SFTP
# share through sshfs; first copies onto the share and onto a drive of 1 ms round trips.
if [ "$(id -u)" -eq 0 ] && [ -c /dev/fuse ]; then
    mount_image exfat 512M mkfs.exfat mount.exfat-fuse || echo "No exFAT second run." >&2
    mount_image ntfs 1G "mkntfs -F -Q -q" ntfs-3g || echo "No NTFS second run." >&2
    mount_sftp || echo "No SFTP second run." >&2
    mount_latency || echo "No copy onto a drive of round trips." >&2
fi
if [ "$(id -u)" -eq 0 ]; then
    mount_throttled || echo "No copy onto a drive of slow writes (needs cgroup v1's blkio)." >&2
fi
# The check's read-back is timed from an ext4 image, as a USB stick is read.
if [ "$(id -u)" -eq 0 ]; then
    truncate -s 1300M "$work/ext4.img" && mkfs.ext4 -q "$work/ext4.img" && mkdir "$work/ext4" \
        && mount -o loop "$work/ext4.img" "$work/ext4" 2>/dev/null && mounts+=("$work/ext4") \
        && extra_sets+=(--ext4 "$work/ext4")
fi
# Qt wants a private runtime folder; keep it with the data.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

echo "## Machine"
echo
echo "- CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores online"
echo "- Memory: $(awk '/^MemTotal:/ { print int($2 / 1024) }' /proc/meminfo) MiB"
echo "- Data file system: $(findmnt -n -o FSTYPE -T "$work") on $(findmnt -n -o SOURCE -T "$work")"
echo "- Kernel: $(uname -r); $(find --version | head -1); $(cp --version | head -1); $(rsync --version | head -1)"
echo "- Run: $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"

build/release/bench/sprigwell_bench "$work/data" --runs "${BENCH_RUNS:-9}" "${extra_sets[@]}" "$@"
