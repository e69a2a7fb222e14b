#pragma once

#include "file_status.h"

#include <optional>
#include <string>

// One entry of a folder; names are raw bytes. The kind is unknown where the file system
// does not report it while listing.
struct FolderEntry
{
    std::string name;
    std::optional<EntryKind> kind;
};
