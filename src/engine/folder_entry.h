#pragma once

#include "file_status.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// One entry of a folder; names are raw bytes. The kind is unknown where the file system
// does not report it while listing.
struct FolderEntry
{
    std::string name;
    std::optional<EntryKind> kind;
};

// Puts a folder's files before its other entries, keeping their order; gives how many
// files there are. A copy then writes the files looked at together right after the look,
// not after a sub-folder's whole tree, and a count states them together.
inline std::size_t filesFirst(std::vector<FolderEntry> &entries)
{
    const auto others
        = std::stable_partition(entries.begin(), entries.end(), [](const FolderEntry &entry) {
              return entry.kind == EntryKind::File;
          });
    return std::size_t(others - entries.begin());
}
