#!/usr/bin/env bash
# Copies a tree twice onto a drive that answers every call after 1 ms (the tests' own FUSE
# file system over a folder, serving calls on several threads, as a share does) with the real
# copy run, and checks what arrived: data, hard links, links, permissions, times and
# attributes as on the source, no temporary left, and the second copy, onto a FUSE drive
# whose times prove nothing, changing only the file that changed.
# Usage (as root): check_latency.sh SPRIGWELL_COPY_TREE SPRIGWELL_DELAY_FS; exit 0 when every
# check passed, 1 when one failed, 77 when it cannot run here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd) name="latency check"
. "$here/check_common.sh"
[ "$(id -u)" -eq 0 ] || skip "mounting through FUSE needs root here"
[ -c /dev/fuse ] || skip "there is no /dev/fuse"
delay_fs=${2:-} && [ -x "$delay_fs" ] || skip "build sprigwell_delay_fs first"
prepare_scratch latency "${1:-}"
mkdir "$scratch/behind"
"$delay_fs" --delay-us 1000 "$scratch/behind" "$mnt" 2>/dev/null || skip "the FUSE mount was refused"

src=$scratch/source/Cases dest=$mnt/Cases
mkdir -p "$src/2024/deep" "$src/2025"
for i in $(seq 1 40); do echo "case $i" >"$src/2024/case$i.txt"; done
head -c 3000000 /dev/urandom >"$src/2025/scan.bin"
echo notes >"$src/2024/deep/notes.txt" && ln "$src/2024/deep/notes.txt" "$src/2025/notes.txt"
ln -s ../2024/case1.txt "$src/2025/first" && chmod 640 "$src/2024/case2.txt"
setfattr -n user.origin -v scanner "$src/2025/scan.bin"
touch -d '2021-03-04 05:06:07.123456789' "$src/2024/case3.txt"

copy_and_check() {
    out=$scratch/run$1.out
    run_copy "$src" "$mnt"
    check "copy $1 ran to its end without problems" [ "$status" -eq 0 -a -z "$(grep '^problem' "$out")" ]
    check "copy $1: the same files, links and data" diff -r --no-dereference "$src" "$dest"
    check "copy $1: hard links stay one file" [ "$dest/2024/deep/notes.txt" -ef "$dest/2025/notes.txt" ]
    check "copy $1: permissions and times kept" [ "$(cd "$src" && find . -printf '%p %m %T@\n' | sort)" = "$(cd "$dest" && find . -printf '%p %m %T@\n' | sort)" ]
    check "copy $1: attributes kept" [ "$(getfattr --absolute-names --only-values -n user.origin "$dest/2025/scan.bin")" = scanner ]
    check "copy $1: no temporary left" [ -z "$(find "$scratch/behind" -name '.sprigwell-*')" ]
}
copy_and_check 1
# Same size, time put back: only the data tells the change.
before=$(stat -c %y "$src/2024/case7.txt") && echo "case X" >"$src/2024/case7.txt" && touch -d "$before" "$src/2024/case7.txt"
copy_and_check 2
finish
