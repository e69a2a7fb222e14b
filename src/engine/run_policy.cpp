#include "run_policy.h"

#include <cerrno>

bool stopsRun(const Failure &failure)
{
    if (failure.isStop())
        return true;
    if (failure.side() != Side::Destination || failure.code().category() != std::generic_category())
        return false;
    switch (failure.code().value()) {
    case ENOSPC:
    case EDQUOT:
    case EROFS:
    case EIO:
    // The destination gone: removed, unplugged or its connection lost.
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ESTALE:
    case ENOTCONN:
        return true;
    default:
        return false;
    }
}

bool isDestinationFull(std::error_code code)
{
    return code == std::errc::no_space_on_device || code == systemError(EDQUOT);
}
