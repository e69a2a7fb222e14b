#include "drive_kind.h"

#include <linux/magic.h>

namespace {

// Not all of them are in linux/magic.h.
constexpr std::uint64_t kFuse = 0x65735546;
constexpr std::uint64_t kCifs = 0xff534d42;
constexpr std::uint64_t kSmb2 = 0xfe534d42;
constexpr std::uint64_t kCeph = 0x00c36400;

} // namespace

bool answersAfterRoundTrips(std::uint64_t fileSystemType)
{
    switch (fileSystemType) {
    case kFuse:
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case kCifs:
    case kSmb2:
    case V9FS_MAGIC:
    case kCeph:
        return true;
    default:
        return false;
    }
}
