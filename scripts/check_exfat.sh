#!/usr/bin/env bash
# Copies a tree of awkward entries onto a fresh exFAT file system mounted through FUSE with
# the real copy engine, twice, and checks what arrived: every file's data, the links and the
# case clash reported as problems without stopping the run, the metadata exFAT cannot hold
# reported as not kept, and no temporary file left behind. USB sticks are formatted so.
#
# Usage (as root): check_exfat.sh [SPRIGWELL_COPY_TREE]
# Builds the dev preset's sprigwell_copy_tree when none is given. Exit status: 0 when every
# check passed, 1 when one failed, 77 when it cannot run here (it says why).
set -euo pipefail

# The mount, its loop device and the scratch folder go on any exit. A watchdog outside the
# process tree does the same if this script is killed (as ctest does on a timeout).
clean_up() {
    umount "$1/mnt" 2>/dev/null || umount --lazy "$1/mnt" 2>/dev/null || true
    if [ -s "$1/loop" ]; then losetup --detach "$(cat "$1/loop")" 2>/dev/null || true; fi
    rm -rf --one-file-system "$1"
}
if [ "${1-}" = --clean-up-after ]; then
    while kill -0 "$2" 2>/dev/null; do sleep 1; done
    [ -d "$3" ] && clean_up "$3"
    exit 0
fi

skip() {
    echo "exFAT check skipped: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "mounting a file system needs root"
[ -c /dev/fuse ] || skip "there is no /dev/fuse here"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if ! command -v mkfs.exfat >/dev/null || ! command -v mount.exfat-fuse >/dev/null; then
    bash "$here/setup.sh" >&2 || skip "exfat-fuse and exfatprogs could not be installed"
fi
copy_tree=${1:-}
if [ -z "$copy_tree" ]; then
    (cd "$here/.." && cmake --preset dev >/dev/null \
        && cmake --build --preset dev --target sprigwell_copy_tree >/dev/null)
    copy_tree=$here/../build/dev/tests/sprigwell_copy_tree
fi

scratch=$(mktemp -d /tmp/sprigwell-exfat.XXXXXX)
trap 'clean_up "$scratch"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
setsid -f bash "$here/check_exfat.sh" --clean-up-after $$ "$scratch" </dev/null >/dev/null 2>&1

mnt=$scratch/mnt
mkdir "$mnt"
truncate -s 64M "$scratch/exfat.img"
mkfs.exfat "$scratch/exfat.img" >"$scratch/mount.log" 2>&1 || skip "mkfs.exfat failed"
if ! mount.exfat-fuse "$scratch/exfat.img" "$mnt" >>"$scratch/mount.log" 2>&1; then
    # Run by root, exfat-fuse mounts as fuseblk, which takes a block device, not a file.
    if ! losetup --find --show "$scratch/exfat.img" >"$scratch/loop" 2>>"$scratch/mount.log" \
        || ! mount.exfat-fuse "$(cat "$scratch/loop")" "$mnt" >>"$scratch/mount.log" 2>&1; then
        skip "the exFAT mount was refused: $(tail -n 1 "$scratch/mount.log")"
    fi
fi

# The source: plain files in nested folders, links, set-ID bits, a foreign owner, names of
# 244 bytes (Linux takes 255) in two scripts, and two names exFAT takes for one.
src=$scratch/source/Backup
dest=$mnt/Backup
mkdir -p "$src/docs/2024/deep" "$src/case" "$src/shared"
echo first >"$src/top.txt"
head -c 300000 /dev/urandom >"$src/docs/2024/photo.bin"
echo nested >"$src/docs/2024/deep/notes.txt"
: >"$src/docs/empty.txt"
echo guest >"$src/docs/guest.txt"
chown 65534:65534 "$src/docs/guest.txt"
printf '#!/bin/sh\necho tool\n' >"$src/tool.sh"
chmod 4755 "$src/tool.sh"
chmod 2775 "$src/shared"
echo team >"$src/shared/team.txt"
echo accents >"$src/$(printf 'é%.0s' {1..120}).txt"
echo cjk >"$src/$(printf '漢字%.0s' {1..40}).txt"
echo upper >"$src/case/README"
echo lower >"$src/case/readme"
ln -s top.txt "$src/link-to-file"
ln -s docs "$src/link-to-folder"

passed=0
failed=0
# check WHAT COMMAND...: counts and prints the verdict, then what the command printed.
check() {
    local what=$1 detail status=0
    shift
    detail=$("$@") || status=$?
    if [ "$status" -eq 0 ]; then
        echo "PASS $what"
        passed=$((passed + 1))
    else
        echo "FAIL $what"
        failed=$((failed + 1))
    fi
    [ -z "$detail" ] || echo "$detail"
}
# The paths of the problems reported, one a line; no path here holds ": ".
problem_paths() { sed -n 's/^problem: //p' "$1" | sed 's/: .*$//'; }
reported_once() { [ "$(problem_paths "$1" | grep -c "/$2\$")" -eq 1 ]; }
only_expected_problems() {
    [ "$(problem_paths "$1" | grep -cvE '/(link-to-file|link-to-folder|case/README|case/readme)$')" \
        -eq 0 ]
}
not_on_mount() { [ ! -e "$dest/$1" ] && [ ! -L "$dest/$1" ]; }
link_refused() {
    reported_once "$1" "$2" && not_on_mount "$2" && return 0
    echo "   reported $(problem_paths "$1" | grep -c "/$2\$") times;" \
        "on the mount: $(stat -c %F "$dest/$2" 2>/dev/null || echo nothing)"
    return 1
}
data_equal() {
    cmp -s "$src/$1" "$dest/$1" && return 0
    [ -e "$dest/$1" ] && echo "   the data differ" || echo "   missing on the mount"
    return 1
}
# The case folder holds one entry, the one not reported, with its own data.
case_pair_kept_once() {
    local paths lost kept entry
    paths=$(problem_paths "$1")
    lost=$(grep -cE '/case/(README|readme)$' <<<"$paths") || true
    if [ "$lost" -eq 1 ]; then
        kept=$(grep -qE '/case/README$' <<<"$paths" && echo readme || echo README)
        [ "$(find "$dest/case" -mindepth 1 | wc -l)" -eq 1 ] && data_equal "case/$kept" && return 0
    fi
    echo "   $lost of them reported; on the mount:"
    for entry in "$dest"/case/*; do
        [ ! -e "$entry" ] || echo "   case/${entry##*/}: $(head -c 20 "$entry")"
    done
    return 1
}
# The kind is reported, or the file that shows it is named with its state on both sides.
not_kept_reported() {
    grep -qx "not kept: $2" "$1" && return 0
    local file=top.txt format=%a
    case $2 in
    "set-ID bits") file=tool.sh ;;
    owner) file=docs/guest.txt format=%u:%g ;;
    times) format=%y ;;
    esac
    echo "   $file: $(stat -c "$format" "$src/$file") in the source," \
        "$(stat -c "$format" "$dest/$file" 2>/dev/null || echo nothing) on the mount"
    return 1
}
no_temporaries() {
    local found
    found=$(find "$mnt" -name '.sprigwell-*')
    [ -z "$found" ] && return 0
    sed 's/^/   /' <<<"$found"
    return 1
}

copy_and_check() {
    local run=$1 out=$scratch/run$1.out status=0
    timeout 60 "$copy_tree" "$src" "$dest" >"$out" 2>&1 || status=$?
    echo "-- copy $run reported:"
    sed 's/^/   /' "$out"
    check "copy $run: ran to its end (status $status)" [ "$status" -eq 0 ]
    local file
    while IFS= read -r -d '' file; do
        file=${file#"$src/"}
        case $file in case/*) continue ;; esac
        local label=$file
        [ ${#file} -le 40 ] || label="${file:0:8}...${file: -8} (${#file} characters)"
        check "copy $run: data of $label" data_equal "$file"
    done < <(find "$src" -type f -print0 | sort -z)
    check "copy $run: one of README and readme kept, the other reported" case_pair_kept_once "$out"
    local link
    for link in link-to-file link-to-folder; do
        check "copy $run: $link reported once and not copied" link_refused "$out" "$link"
    done
    check "copy $run: no other problems" only_expected_problems "$out"
    local kind
    for kind in "set-ID bits" permissions owner times; do
        check "copy $run: $kind reported as not kept" not_kept_reported "$out" "$kind"
    done
    check "copy $run: no .sprigwell-* temporary left on the mount" no_temporaries
}

copy_and_check 1
# The second copy replaces what the first wrote, with data that changed in between.
echo "first, then changed" >"$src/top.txt"
head -c 1000 /dev/urandom >"$src/docs/2024/photo.bin"
copy_and_check 2

echo "exFAT check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
