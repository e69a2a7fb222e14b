#include "local_file_system.h"

#include "copy/copy_engine.h"
#include "platform/unique_fd.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#ifdef _WIN32

bool LocalFileSystem::driveExists(const QString &drive)
{
    std::error_code error;
    return drive.size() == 2 && drive.at(1) == QLatin1Char(':')
        && std::filesystem::exists(std::filesystem::path(drive.toStdWString() + L"\\"), error);
}

bool LocalFileSystem::driveReady(const QString &drive)
{
    std::error_code error;
    std::filesystem::space(std::filesystem::path(drive.toStdWString() + L"\\"), error);
    return !error;
}

std::vector<SubFolder> LocalFileSystem::subFolders(const std::filesystem::path &folder)
{
    std::vector<SubFolder> result;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error)
        throw FileSystemError(folder, error);
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code entryError;
        if (!it->is_directory(entryError) || it->is_symlink(entryError))
            continue;
        const auto written = it->last_write_time(entryError);
        if (entryError)
            continue; // vanished since it was enumerated
        const auto systemTime = std::filesystem::file_time_type::clock::to_sys(written);
        result.push_back(
            { it->path().filename(),
              std::chrono::floor<std::chrono::seconds>(systemTime).time_since_epoch().count() });
    }
    if (error)
        throw FileSystemError(folder, error);
    return result;
}

#else

// POSIX paths name no drives.
bool LocalFileSystem::driveExists(const QString &)
{
    return false;
}

bool LocalFileSystem::driveReady(const QString &)
{
    return false;
}

namespace {

class DirectoryHandle
{
public:
    explicit DirectoryHandle(DIR *dir)
        : m_dir(dir)
    { }
    ~DirectoryHandle()
    {
        if (m_dir)
            closedir(m_dir);
    }
    DirectoryHandle(const DirectoryHandle &) = delete;
    DirectoryHandle &operator=(const DirectoryHandle &) = delete;
    DIR *get() const { return m_dir; }

private:
    DIR *m_dir;
};

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

// readdir and one fstatat per entry, relative to the open folder: the least work the
// kernel allows for a name, a type and a modification time. Links are not followed, so
// a link to a folder is not listed as a sub-folder.
std::vector<SubFolder> LocalFileSystem::subFolders(const std::filesystem::path &folder)
{
    DirectoryHandle dir(opendir(folder.c_str()));
    if (!dir.get())
        throw FileSystemError(folder, std::error_code(errno, std::generic_category()));
    const int dirFd = dirfd(dir.get());

    std::vector<SubFolder> result;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir.get());
        if (!entry)
            break;
        if (isDotOrDotDot(entry->d_name))
            continue;
        if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)
            continue;
        struct stat info;
        if (fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // vanished since it was enumerated
        if (!S_ISDIR(info.st_mode))
            continue;
        result.push_back({ std::filesystem::path(entry->d_name), std::int64_t(info.st_mtime) });
    }
    if (errno != 0)
        throw FileSystemError(folder, std::error_code(errno, std::generic_category()));
    return result;
}

#endif

TreeTotals LocalFileSystem::measureFolder(const std::filesystem::path &folder,
                                          CopyMonitor &monitor)
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
