#pragma once

#include "copy_monitor.h"
#include "copy_report.h"
#include "platform/file_system_error.h"

#include <cstdint>
#include <filesystem>

struct TreeTotals
{
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

// Files and bytes (sum of regular files' sizes) below `folder`, as a copy of it will meet
// them; stops (FileSystemError ECANCELED) when monitor.stopRequested(). Entries that cannot
// be read are left out.
TreeTotals measureTree(const std::filesystem::path &folder, CopyMonitor &monitor);

// Makes `destination` (the folder's new path, e.g. /dst/Photos for /src/Photos) hold the tree
// of `source`, replacing same-named files. Problems of single entries are recorded in the
// report and the copy goes on; failures that doom the rest (ENOSPC, EDQUOT, EROFS, EIO, the
// destination gone) throw FileSystemError; a stop throws FileSystemError(ECANCELED).
CopyReport copyFolderTree(const std::filesystem::path &source,
                          const std::filesystem::path &destination, CopyMonitor &monitor);
