#!/usr/bin/env bash
# Installs what is missing, builds Sprigwell in Release, makes the benchmark data sets in
# a temporary folder, times the scan, a day-count keystroke, the look inside the sub-folders
# (1,000,000 entries) and the copy against find and cp -a (and the copy with its flush
# against cp -a and sync -f), prints the results as Markdown and removes the data again.
#   BENCH_TMPDIR  where the data goes (default: $TMPDIR or /tmp); about 4 GiB at peak
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
ram="" exfat="" loop=""
trap '[ -z "$exfat" ] || umount "$exfat" 2>/dev/null || umount -l "$exfat"
      [ -z "$loop" ] || losetup -d "$loop"; rm -rf "$work" ${ram:+"$ram"}' EXIT
trap 'exit 130' INT TERM

need_kib=$((4 * 1024 * 1024))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt "$need_kib" ]; then
    echo "Need 4 GiB free in $work, have $((free_kib / 1024)) MiB; set BENCH_TMPDIR." >&2
    exit 1
fi
extra_sets=()
if [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ] \
    && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -ge $((1024 * 1024)) ]; then
    ram=$(mktemp -d /dev/shm/sprigwell-bench.XXXXXX)
    extra_sets=(--memory-fs "$ram")
fi
# Where root may mount through FUSE, the second run is timed onto exFAT as well, as USB
# sticks are formatted.
if [ "$(id -u)" -eq 0 ] && [ -c /dev/fuse ]; then
    truncate -s 512M "$work/exfat.img" && mkfs.exfat "$work/exfat.img" >/dev/null 2>&1 \
        && loop=$(losetup --find --show "$work/exfat.img") && mkdir "$work/exfat" \
        && mount.exfat-fuse "$loop" "$work/exfat" >/dev/null 2>&1 && exfat=$work/exfat \
        && extra_sets+=(--exfat "$exfat")
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
