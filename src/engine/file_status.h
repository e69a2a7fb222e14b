#pragma once

#include <sys/stat.h>

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>

// The kinds of directory entry a copy treats differently.
enum class EntryKind { File, Folder, Link, Special };

// Names one file system object, whatever path leads to it.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileIdentity &) const = default;
};

template<> struct std::hash<FileIdentity>
{
    std::size_t operator()(const FileIdentity &identity) const noexcept
    {
        return std::hash<std::uint64_t>()(identity.inode * 31 + identity.device);
    }
};

// What the system reported about an entry (from fstat or lstat).
class FileStatus
{
public:
    FileStatus() = default;
    explicit FileStatus(const struct stat &info)
        : m_info(info)
    { }

    EntryKind kind() const;
    FileIdentity identity() const;
    std::uint64_t size() const;

    // Whether the file may have holes: it takes fewer blocks than its size needs.
    bool mayHaveHoles() const;
    const struct stat &info() const { return m_info; }

private:
    struct stat m_info = {};
};
