#include "local_file_system.h"

#include "copy/copy_engine.h"
#include "posix_folder.h"
#include "system_calls.h"
#include "unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

bool LocalFileSystem::folderExists(const std::filesystem::path &path)
{
    if (path.empty())
        return false;
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

CopyReport LocalFileSystem::copyFolder(const std::filesystem::path &source,
                                       const std::filesystem::path &destination,
                                       CopyMonitor &monitor)
{
    return copyFolderTree(source, destination, monitor);
}

// POSIX paths name no drives.
bool LocalFileSystem::driveExists(const QString &)
{
    return false;
}

bool LocalFileSystem::driveReady(const QString &)
{
    return false;
}

// readdir and one fstatat per entry, relative to the open folder: the least work the
// kernel allows for a name, a type and a modification time. Links are not followed, so
// a link to a folder is not listed as a sub-folder.
std::vector<SubFolder> LocalFileSystem::subFolders(const std::filesystem::path &folder)
{
    std::vector<SubFolder> result;
    try {
        const UniqueFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd.isOpen())
            throwSystemError();
        for (const FolderEntry &entry : readFolderEntries(fd.get())) {
            if (entry.kind && *entry.kind != EntryKind::Folder)
                continue;
            struct stat info;
            if (fstatat(fd.get(), entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // vanished since it was listed
            if (S_ISDIR(info.st_mode))
                result.push_back(
                    { std::filesystem::path(entry.name), std::int64_t(info.st_mtime) });
        }
    } catch (const std::system_error &error) {
        throw FileSystemError(folder, error.code());
    }
    return result;
}

TreeTotals LocalFileSystem::measureFolder(const std::filesystem::path &folder, CopyMonitor &monitor)
{
    return measureTree(folder, monitor);
}

std::uint64_t LocalFileSystem::freeBytes(const std::filesystem::path &folder)
{
    struct statvfs info;
    if (statvfs(folder.c_str(), &info) != 0)
        throw FileSystemError(folder, std::error_code(errno, std::generic_category()));
    return std::uint64_t(info.f_bavail) * info.f_frsize;
}

void LocalFileSystem::flush(const std::filesystem::path &folder)
{
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.isOpen() || syncfs(fd.get()) != 0)
        throw FileSystemError(folder, std::error_code(errno, std::generic_category()));
}
