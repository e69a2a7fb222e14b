#pragma once

#include "file_status.h"
#include "system_calls.h"

#include <atomic>
#include <compare>
#include <cstdint>
#include <filesystem>
#include <limits>

// A modification time to the nanosecond; the earliest there is while nothing was found.
struct ModifiedTime
{
    std::int64_t secs = std::numeric_limits<std::int64_t>::min();
    std::uint32_t nanos = 0;
    auto operator<=>(const ModifiedTime &) const = default;
};

// What a look inside one folder found. Totals only: however large the tree, a look keeps
// no list of what it met.
struct InsideTotals
{
    ModifiedTime newest; // of the folder itself and of every entry below it, links included
    std::uint64_t bytes = 0; // the sizes of the regular files below, up to the largest count
    bool complete = false; // everything below could be read
};

// Walks the folder at `folder`, which the listing found as `expected`, read-only: no access
// time changes where the system lets us avoid them, one statx() per entry, links never
// followed, no other file system mounted below entered. It reads to the end: the size
// needs every file, so no entry could be skipped without changing what the line shows. A folder below that cannot be
// read, vanishes or is replaced is left out and makes the totals incomplete; so does a
// top folder that is no longer `expected`. Throws stopAt() once `stop` is set, checked
// before each entry.
InsideTotals lookInside(SystemCalls &calls, const std::filesystem::path &folder,
                        const FileIdentity &expected, const std::atomic_bool &stop);
