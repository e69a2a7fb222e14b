#!/usr/bin/env bash
# Installs what building, running and testing Sprigwell needs on Debian 12, and nothing
# when it is all there already. Uses sudo when not run as root.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
    # the hash of the copies' check
    libxxhash-dev
    # the window's fonts: Liberation Sans and Liberation Mono
    fonts-liberation fontconfig
    # headless and real-window tests, packaging checks
    xvfb xauth x11-utils xdotool imagemagick libx11-dev desktop-file-utils appstream dpkg-dev file
    # the copy check on an exFAT image mounted through FUSE
    exfat-fuse exfatprogs fuse3
    # a drive that answers after a round trip (the tests' own FUSE file system), attributes
    libfuse3-dev attr
    # the benchmark's second runs are timed against rsync, also onto NTFS through ntfs-3g
    # and onto an SFTP share (sshfs) served by a private sshd on the loopback
    rsync ntfs-3g sshfs openssh-server openssh-client
    # the notice at a run's end, tested on a private session bus
    dbus-daemon dbus-bin
    # the check's test finds a copy's blocks in its drive's image
    e2fsprogs
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
