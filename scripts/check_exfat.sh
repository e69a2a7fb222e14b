#!/usr/bin/env bash
# Copies a tree of awkward entries twice onto a fresh exFAT file system (as USB sticks are
# formatted) mounted through FUSE, with the real copy engine, and checks what arrived:
# all the data, the links and the case clash reported without stopping the run, what
# exFAT cannot hold reported as not kept, and no temporary file left behind.
# Usage (as root): check_exfat.sh [SPRIGWELL_COPY_TREE]; exit 0 when every check passed,
# 1 when one failed, 77 when it cannot run here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd) name="exFAT check"
. "$here/check_common.sh"
[ "$(id -u)" -eq 0 ] || skip "mounting needs root"
[ -c /dev/fuse ] || skip "there is no /dev/fuse"
command -v mount.exfat-fuse >/dev/null || bash "$here/setup.sh" >&2 || skip "no exfat-fuse"
prepare_scratch exfat "${1:-}"
truncate -s 64M "$scratch/img"
mkfs.exfat "$scratch/img" >/dev/null 2>&1 || skip "mkfs.exfat failed"
# Run by root, exfat-fuse mounts as fuseblk, which wants a block device.
loop=$(losetup --find --show "$scratch/img" 2>/dev/null) || skip "no loop device"
mount.exfat-fuse "$loop" "$mnt" >/dev/null 2>&1 || skip "the exFAT mount was refused"

# Names of 120 accented letters and of 80 CJK characters, an owner and set-ID bits exFAT
# cannot hold, two names that differ only in case, and links it cannot hold either.
src=$scratch/source/Backup dest=$mnt/Backup
mkdir -p "$src/docs/deep" "$src/case" "$src/shared"
head -c 300000 /dev/urandom >"$src/docs/photo.bin"
for file in top.txt docs/deep/notes.txt docs/guest.txt tool.sh shared/team.txt case/README case/readme \
    "$(printf 'é%.0s' {1..120}).txt" "$(printf '漢字%.0s' {1..40}).txt"; do echo "$file" >"$src/$file"; done
chown 65534:65534 "$src/docs/guest.txt" && chmod 4755 "$src/tool.sh" && chmod 2775 "$src/shared"
ln -s top.txt "$src/link-to-file" && ln -s docs "$src/link-to-folder"

problems() { sed -n 's/^problem: \(.*\): .*$/\1/p' "$out"; }
up_to_date() { sed -n 's/^up to date: //p' "$out"; }
copy_and_check() {
    out=$scratch/run$1.out
    local file link kind
    run_copy "$src" "$mnt"
    check "copy $1 ran to its end" [ "$status" -eq 0 ]
    while IFS= read -r -d '' file; do
        [[ $file == */case/* ]] || check "copy $1: data of ${file:${#src}+1:40}" cmp -s "$file" "$dest/${file#"$src/"}"
    done < <(find "$src" -type f -print0)
    check "copy $1: one of README and readme kept, the other reported" \
        [ "$(problems | grep -c '/case/')" -eq 1 -a "$(ls "$dest/case" | wc -l)" -eq 1 ]
    for link in link-to-file link-to-folder; do
        check "copy $1: $link reported and not copied" \
            [ "$(problems | grep -c "/$link\$")" -eq 1 -a ! -L "$dest/$link" -a ! -e "$dest/$link" ]
    done
    check "copy $1: no other problems" [ "$(problems | wc -l)" -eq 3 ]
    for kind in set-user-ID permissions owners "exact modification times"; do
        check "copy $1: $kind reported as not kept" grep -q "^not kept: - $kind" "$out"
    done
    check "copy $1: no temporary left" [ -z "$(find "$mnt" -name '.sprigwell-*')" ]
}
copy_and_check 1
# The second copy replaces what the first wrote, with data changed in between: a file of
# another size, and one of the same size whose time is put back. exFAT holds no record of a
# copy's source: only the data tells. The other seven files are up to date.
echo "first, then changed" >"$src/top.txt"
touch -r "$src/docs/photo.bin" "$scratch/stamp"
head -c 300000 /dev/urandom >"$src/docs/photo.bin" && touch -r "$scratch/stamp" "$src/docs/photo.bin"
copy_and_check 2
check "copy 2: the others found up to date" [ "$(up_to_date)" = 7 ]

# exFAT as the source: its change times are its modification times and prove nothing, so a
# file rewritten there with its size and time kept is found by its data.
back=$scratch/back notes=$dest/docs/deep/notes.txt out=$scratch/back.out
mkdir "$back" && "$copy_tree" "$dest" "$back" >/dev/null 2>&1 || :
touch -r "$notes" "$scratch/stamp" && echo "DOCS/DEEP/NOTES.TXT" >"$notes" && touch -r "$scratch/stamp" "$notes"
"$copy_tree" "$dest" "$back" >"$out" 2>&1 || :
check "from exFAT: a file rewritten there, time kept, copied again" cmp -s "$notes" "$back/Backup/docs/deep/notes.txt"
check "from exFAT: the eight others found up to date" [ "$(up_to_date)" = 8 ]
finish
