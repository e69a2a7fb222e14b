#pragma once

#include "file_status.h"
#include "posix_folder.h"
#include "unique_fd.h"

#include <string>

// A new file or link that is made under a temporary name (".<name>.sprigwell-XXXXXX")
// beside the entry it is meant to become, and renamed over it only once it is complete.
// So an entry of that name is always either the old one or the whole new one, never a
// half-written file. Unless committed, the temporary is removed again when dropped.
// Failures throw std::system_error with the system's errno.
class PendingEntry
{
public:
    // An empty file, open for writing, with only its owner allowed to read it yet.
    PendingEntry(const PosixFolder &folder, std::string name);
    // A symbolic link holding `target`.
    PendingEntry(const PosixFolder &folder, std::string name, const std::string &linkTarget);
    ~PendingEntry();
    PendingEntry(const PendingEntry &) = delete;
    PendingEntry &operator=(const PendingEntry &) = delete;

    // The new file's descriptor (none for a link).
    int fd() const { return m_fd.get(); }
    const std::string &temporaryName() const { return m_temporaryName; }

    // Gives the entry the times, and a file the permissions, of `status`. Call it after
    // the last write: writing would move the modification time again.
    void applyStatus(const FileStatus &status);

    // Closes the new file and puts it in place of `name`, replacing an entry already
    // there. A folder there is never replaced: EISDIR.
    void commit();

private:
    int m_folderFd;
    std::string m_name;
    std::string m_temporaryName;
    UniqueFd m_fd;
    bool m_committed = false;
};
