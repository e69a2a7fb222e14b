#pragma once

#include "file_status.h"

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

// The entries of the open folder `fd` but "." and "..", in the order the system lists
// them. Reads through a descriptor of its own, so `fd` stays as it was. Throws
// std::system_error with the system's errno.
std::vector<FolderEntry> readFolderEntries(int fd);
