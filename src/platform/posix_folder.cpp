#include "posix_folder.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <system_error>

namespace {

[[noreturn]] void throwSystemError()
{
    throw std::system_error(errno, std::generic_category());
}

int checked(int result)
{
    if (result < 0)
        throwSystemError();
    return result;
}

std::optional<EntryKind> kindOf(unsigned char type)
{
    switch (type) {
    case DT_REG:
        return EntryKind::File;
    case DT_DIR:
        return EntryKind::Folder;
    case DT_LNK:
        return EntryKind::Link;
    case DT_UNKNOWN:
        return std::nullopt;
    default:
        return EntryKind::Special;
    }
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

mode_t fillablePermissions(const FileStatus &like)
{
    return (like.copyPermissions() & 0777) | S_IRWXU;
}

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

} // namespace

PosixFolder PosixFolder::open(const std::filesystem::path &path)
{
    return PosixFolder(UniqueFd(checked(::open(path.c_str(), folderFlags))));
}

bool PosixFolder::make(const std::filesystem::path &path, const FileStatus &like)
{
    if (mkdir(path.c_str(), fillablePermissions(like)) == 0)
        return true;
    if (errno != EEXIST)
        throwSystemError();
    return false;
}

PosixFolder PosixFolder::openChild(const std::string &name) const
{
    const int child = openat(fd(), name.c_str(), folderFlags | O_NOFOLLOW);
    if (child >= 0)
        return PosixFolder(UniqueFd(child));
    // With O_DIRECTORY a link answers ENOTDIR like a file; tell the two apart.
    int error = errno;
    struct stat info;
    if (error == ENOTDIR && fstatat(fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISLNK(info.st_mode))
        error = ELOOP;
    throw std::system_error(error, std::generic_category());
}

bool PosixFolder::makeChild(const std::string &name, const FileStatus &like) const
{
    if (mkdirat(fd(), name.c_str(), fillablePermissions(like)) == 0)
        return true;
    if (errno != EEXIST)
        throwSystemError();
    return false;
}

std::vector<FolderEntry> PosixFolder::entries() const
{
    // The stream gets a descriptor of its own, so closing it leaves this folder open.
    UniqueFd own(checked(openat(fd(), ".", folderFlags)));
    DIR *dir = fdopendir(own.get());
    if (!dir)
        throwSystemError();
    own.release();
    std::vector<FolderEntry> result;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir);
        if (!entry)
            break;
        if (!isDotOrDotDot(entry->d_name))
            result.push_back({ entry->d_name, kindOf(entry->d_type) });
    }
    const int readError = errno;
    closedir(dir);
    if (readError != 0)
        throw std::system_error(readError, std::generic_category());
    return result;
}

FileStatus PosixFolder::status() const
{
    return FileStatus::ofOpenFile(fd());
}

FileStatus PosixFolder::childStatus(const std::string &name) const
{
    struct stat info;
    checked(fstatat(fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW));
    return FileStatus(info);
}

UniqueFd PosixFolder::openChildForReading(const std::string &name) const
{
    return UniqueFd(checked(
        openat(fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)));
}

std::string PosixFolder::readChildLink(const std::string &name) const
{
    // readlinkat cuts a long target silently; grow the buffer until it fits with room
    // to spare.
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = readlinkat(fd(), name.c_str(), target.data(), target.size());
        if (length < 0)
            throwSystemError();
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

void PosixFolder::applyStatus(const FileStatus &status, bool withPermissions) const
{
    if (withPermissions)
        checked(fchmod(fd(), status.copyPermissions()));
    checked(futimens(fd(), status.accessAndModifyTimes().data()));
}
