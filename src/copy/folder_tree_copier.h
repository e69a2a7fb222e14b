#pragma once

#include "copy_monitor.h"
#include "copy_report.h"
#include "platform/file_data_copy.h"
#include "platform/file_status.h"
#include "platform/posix_folder.h"

#include <filesystem>
#include <set>
#include <string>

// Copies one folder tree entry by entry: folders are created or merged into, files are
// written beside their targets and renamed over them once complete, links are copied as
// links, and FIFOs, sockets and devices are skipped and reported. Files and folders keep
// their modification times and permission bits. Stops with a FileSystemError at the first
// failure; what was copied until then stays.
class FolderTreeCopier
{
public:
    FolderTreeCopier(FileDataCopy &dataCopy, CopyMonitor &monitor);

    // Makes `destination` (the folder's new path) hold the tree of `source`.
    CopyReport copy(const std::filesystem::path &source, const std::filesystem::path &destination);

private:
    // An open folder together with its path, which only error messages and the report
    // need: everything else goes through the open folder.
    struct Place
    {
        const PosixFolder &folder;
        const std::filesystem::path &path;
    };

    void copyFolder(const Place &from, const FileStatus &fromStatus, const Place &to, bool created);
    void copyContents(const Place &from, const Place &to);
    // The entry's kind, asked of the file system where the listing did not tell it.
    static EntryKind kindOf(const Place &folder, const FolderEntry &entry);
    void copySubFolder(const Place &from, const Place &to, const std::string &name);
    void copyFile(const Place &from, const Place &to, const std::string &name);
    void copyLink(const Place &from, const Place &to, const std::string &name);

    FileDataCopy &m_dataCopy;
    CopyMonitor &m_monitor;
    CopyReport m_report;
    // Every folder written to so far: meeting one of them in the source means the copy
    // would run into itself (through a bind mount, say) and never end.
    std::set<FileIdentity> m_destinationFolders;
};
