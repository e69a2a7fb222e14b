#pragma once

#include <cstdint>

// Byte totals stop at the largest count instead of wrapping round: three sparse files of
// 8 EiB hold more than it can say, not a few bytes.
inline std::uint64_t saturatingAdd(std::uint64_t total, std::uint64_t more)
{
    return more > UINT64_MAX - total ? UINT64_MAX : total + more;
}
