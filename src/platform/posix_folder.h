#pragma once

#include "file_status.h"
#include "unique_fd.h"

#include <filesystem>
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

// An open folder. Its entries are reached through the open descriptor by name alone (the
// *at calls), so a deep tree never builds long paths and a link standing where a folder
// or file is expected is never followed. Every failure throws std::system_error with the
// system's errno.
class PosixFolder
{
public:
    // Opens the folder at `path`, following a link there: the caller chose that path.
    static PosixFolder open(const std::filesystem::path &path);
    // Creates the folder at `path` with the permissions of `like`, kept open to its owner
    // until applyStatus() sets them, so that it can be filled first; false when an entry
    // of that name is already there.
    static bool make(const std::filesystem::path &path, const FileStatus &like);

    // Opens the sub-folder `name`; ENOTDIR or ELOOP when a file or a link is there.
    PosixFolder openChild(const std::string &name) const;
    // Creates the sub-folder `name` as make() does.
    bool makeChild(const std::string &name, const FileStatus &like) const;

    std::vector<FolderEntry> entries() const;
    FileStatus status() const;
    FileStatus childStatus(const std::string &name) const;

    // Opens the file `name` for reading without following a link and without waiting,
    // so that a FIFO put there meanwhile cannot block the copy.
    UniqueFd openChildForReading(const std::string &name) const;
    std::string readChildLink(const std::string &name) const;

    // Gives the folder the times (and, when asked, the permissions) of `status`.
    void applyStatus(const FileStatus &status, bool withPermissions) const;

    int fd() const { return m_fd.get(); }

private:
    explicit PosixFolder(UniqueFd fd)
        : m_fd(std::move(fd))
    { }
    UniqueFd m_fd;
};
