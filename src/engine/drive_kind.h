#pragma once

#include <cstdint>

// Whether a file system of this type (statfs's f_type) answers each call after a round trip
// through a daemon or a network: FUSE (sshfs, ntfs-3g, exfat-fuse...), NFS, SMB, 9p, Ceph.
// There many calls in flight at once are answered together; on a local drive they queue.
bool answersAfterRoundTrips(std::uint64_t fileSystemType);
