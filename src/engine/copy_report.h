#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

// Metadata a destination file system may be unable to hold; the copy keeps the data and
// notes the kind once.
enum class MetadataKind {
    Permissions,
    SetIdBits,
    Owner,
    Times,
    ExtendedAttributes,
    AccessControlLists,
    HardLinks
};

// An entry that was not copied, and why (special files, unreadable or vanished entries,
// names the destination cannot hold, case clashes, links the destination refuses...).
struct CopyProblem
{
    std::filesystem::path path;
    std::string reason;
};

// What a folder copy did besides copying.
struct CopyReport
{
    std::vector<CopyProblem> problems; // in the order met
    std::set<MetadataKind> notKept;
    std::uint64_t upToDate = 0; // files left as they were: already the same as their source
};
