#pragma once

#include <sys/stat.h>

#include <array>
#include <compare>
#include <cstdint>

// The kinds of directory entry a copy treats differently.
enum class EntryKind { File, Folder, Link, Special };

// Names one file system object, whatever path leads to it.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileIdentity &) const = default;
};

// What the system reported about an entry (from fstat or lstat).
class FileStatus
{
public:
    FileStatus() = default;
    explicit FileStatus(const struct stat &info)
        : m_info(info)
    { }

    // The status of an open file; throws std::system_error when fstat fails.
    static FileStatus ofOpenFile(int fd);

    EntryKind kind() const;
    FileIdentity identity() const;
    std::uint64_t size() const;

    // The mode bits a copy gets. Set-user-ID and set-group-ID are dropped unless the
    // copy's owner (the running user) or group is the original's, so that copying
    // someone else's file never hands out their rights.
    mode_t copyPermissions() const;

    // Access and modification time, in the order utimensat and futimens take them.
    std::array<struct timespec, 2> accessAndModifyTimes() const;

private:
    struct stat m_info = {};
};
