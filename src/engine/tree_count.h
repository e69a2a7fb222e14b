#pragma once

#include "copy_monitor.h"
#include "file_status.h"
#include "system_calls.h"

#include <cstdint>
#include <filesystem>
#include <unordered_set>

struct TreeTotals
{
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    // A copy of the tree would land on or inside itself (CopySession::measure()).
    bool intoItself = false;
};

// Files and bytes (sum of regular files' sizes) below `folder`, as a copy of it will meet
// them; entries that cannot be read are left out. `intoItself` tells whether one of the
// folders `watched` is met in the tree, its top included. Throws stopAt() when the monitor
// asks.
TreeTotals measureTree(SystemCalls &calls, const std::filesystem::path &folder,
                       CopyMonitor &monitor, const std::unordered_set<FileIdentity> &watched = {});
