#include "system_calls.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>

namespace {

std::error_code checked(int result)
{
    return result < 0 ? systemError(errno) : std::error_code();
}

Result<UniqueFd> opened(int fd)
{
    if (fd < 0)
        return systemError(errno);
    return UniqueFd(fd);
}

Result<FileStatus> described(int result, const struct stat &info)
{
    if (result != 0)
        return systemError(errno);
    return FileStatus(info);
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

// Calls `read` with a buffer grown until the value fits.
template<typename Read> Result<std::string> readGrowing(Read &&read)
{
    std::string buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = read(nullptr, 0);
        if (size <= 0)
            return size == 0 ? Result(buffer) : Result<std::string>(systemError(errno));
        buffer.resize(std::size_t(size));
        const ssize_t got = read(buffer.data(), buffer.size());
        if (got >= 0) {
            buffer.resize(std::size_t(got));
            return buffer;
        }
        if (errno != ERANGE) // ERANGE: it grew in between
            return systemError(errno);
    }
    return systemError(ERANGE);
}

// A path that names the link `link` in the open folder `folder` itself: the l*xattr()
// calls take paths only, and a link cannot be opened for them.
std::string linkPath(int folder, const char *link)
{
    return "/proc/self/fd/" + std::to_string(folder) + '/' + link;
}

} // namespace

Result<UniqueFd> SystemCalls::openPath(const std::filesystem::path &path, int flags)
{
    return opened(::open(path.c_str(), flags));
}

Result<UniqueFd> SystemCalls::openAt(int folder, const char *name, int flags, mode_t mode)
{
    return opened(::openat(folder, name, flags, mode));
}

Result<FileStatus> SystemCalls::status(int fd)
{
    struct stat info;
    return described(::fstat(fd, &info), info);
}

Result<FileStatus> SystemCalls::statusAt(int folder, const char *name)
{
    struct stat info;
    return described(::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW), info);
}

Result<Placement> SystemCalls::placement(int folder, const char *name)
{
    struct statx info;
    if (::statx(folder, name, name[0] ? 0 : AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &info) != 0)
        return systemError(errno);
    return Placement { { std::uint64_t(makedev(info.stx_dev_major, info.stx_dev_minor)),
                         std::uint64_t(info.stx_ino) },
                       info.stx_mask & STATX_MNT_ID ? std::uint64_t(info.stx_mnt_id) : 0,
                       (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0 };
}

Result<EntryStatus> SystemCalls::entryStatusAt(int folder, const char *name, bool cachedOnly)
{
    struct statx info;
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT
        | (cachedOnly ? AT_STATX_DONT_SYNC : AT_STATX_SYNC_AS_STAT);
    if (::statx(folder, name, flags, STATX_TYPE | STATX_MTIME | STATX_SIZE | STATX_INO | STATX_UID,
                &info)
        != 0)
        return systemError(errno);
    struct stat kindOnly = {};
    kindOnly.st_mode = info.stx_mode;
    return EntryStatus { FileStatus(kindOnly).kind(),
                         { ::makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino },
                         info.stx_mtime.tv_sec,
                         info.stx_mtime.tv_nsec,
                         info.stx_size,
                         info.stx_uid,
                         (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0 };
}

Result<std::vector<FolderEntry>> SystemCalls::readFolder(int folder)
{
    // Through the folder's own descriptor, from its start: a directory stream would open the
    // folder again and check it three ways first, calls that cost as much as the reading on
    // folders of a hundred entries.
    if (::lseek(folder, 0, SEEK_SET) < 0)
        return systemError(errno);
    alignas(dirent64) char buffer[32 * 1024];
    std::vector<FolderEntry> result;
    for (;;) {
        const ssize_t length = ::getdents64(folder, buffer, sizeof buffer);
        if (length < 0)
            return systemError(errno);
        if (length == 0)
            return result;
        for (ssize_t at = 0; at < length;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(buffer + at);
            if (!isDotOrDotDot(entry->d_name))
                result.push_back({ entry->d_name, kindOf(entry->d_type) });
            at += entry->d_reclen;
        }
    }
}

Result<std::string> SystemCalls::readLink(int folder, const char *name)
{
    // Room for the longest target a path may hold, and one more byte to see a cut.
    std::string target(std::size_t(PATH_MAX) + 1, '\0');
    const ssize_t length = ::readlinkat(folder, name, target.data(), target.size());
    if (length < 0)
        return systemError(errno);
    if (std::size_t(length) == target.size())
        return systemError(ENAMETOOLONG);
    target.resize(std::size_t(length));
    return target;
}

Result<std::string> SystemCalls::attributeNames(int fd)
{
    return readGrowing(
        [fd](char *buffer, std::size_t size) { return ::flistxattr(fd, buffer, size); });
}

Result<std::string> SystemCalls::attribute(int fd, const char *name)
{
    return readGrowing(
        [fd, name](char *buffer, std::size_t size) { return ::fgetxattr(fd, name, buffer, size); });
}

Result<std::string> SystemCalls::linkAttributeNames(int folder, const char *link)
{
    // listxattrat() (Linux 6.13) names the entry relative to its folder at the cost of one
    // lookup; before it, the name is reached through the folder's /proc entry, three.
    static constexpr long listxattrat = 465;
    static std::atomic_bool withoutAt = false;
    if (!withoutAt.load(std::memory_order_relaxed)) {
        Result<std::string> names = readGrowing([folder, link](char *buffer, std::size_t size) {
            return ssize_t(::syscall(listxattrat, folder, link, AT_SYMLINK_NOFOLLOW, buffer, size));
        });
        if (names || names.error() != std::errc::function_not_supported)
            return names;
        withoutAt = true;
    }
    return readGrowing([path = linkPath(folder, link)](char *buffer, std::size_t size) {
        return ::llistxattr(path.c_str(), buffer, size);
    });
}

Result<std::string> SystemCalls::attributeAt(int folder, const char *name, const char *attribute)
{
    // getxattrat() (Linux 6.13) names the entry relative to its folder; before it, the
    // name is reached through the folder's /proc entry.
    static constexpr long getxattrat = 464;
    struct XattrArgs
    {
        std::uint64_t value;
        std::uint32_t size;
        std::uint32_t flags;
    };
    static std::atomic_bool withoutAt = false;
    const auto read = [&](char *buffer, std::size_t size) {
        if (!withoutAt.load(std::memory_order_relaxed)) {
            XattrArgs args { std::uint64_t(reinterpret_cast<std::uintptr_t>(buffer)),
                             std::uint32_t(size), 0 };
            const ssize_t got = ssize_t(::syscall(getxattrat, folder, name, AT_SYMLINK_NOFOLLOW,
                                                  attribute, &args, sizeof args));
            if (got >= 0 || errno != ENOSYS)
                return got;
            withoutAt = true;
        }
        return ::lgetxattr(linkPath(folder, name).c_str(), attribute, buffer, size);
    };
    // Most values fit at once: one call, not one for the size and one for the value.
    std::string value(256, '\0');
    const ssize_t got = read(value.data(), value.size());
    if (got >= 0) {
        value.resize(std::size_t(got));
        return value;
    }
    if (errno != ERANGE)
        return systemError(errno);
    return readGrowing(read);
}

Result<std::uint64_t> SystemCalls::seek(int fd, std::uint64_t offset, int whence)
{
    const off_t at = ::lseek(fd, off_t(offset), whence);
    if (at < 0)
        return systemError(errno);
    return std::uint64_t(at);
}

Result<std::size_t> SystemCalls::readAt(int fd, char *buffer, std::size_t length,
                                        std::uint64_t offset)
{
    ssize_t got;
    do
        got = ::pread(fd, buffer, length, off_t(offset));
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return systemError(errno);
    return std::size_t(got);
}

void SystemCalls::adviseReading(int fd, std::uint64_t offset, std::uint64_t length, int advice)
{
    ::posix_fadvise(fd, off_t(offset), off_t(length), advice);
}

std::error_code SystemCalls::writeAt(int fd, const char *buffer, std::size_t length,
                                     std::uint64_t offset)
{
    for (std::size_t done = 0; done < length;) {
        const ssize_t written = ::pwrite(fd, buffer + done, length - done, off_t(offset + done));
        if (written < 0 && errno != EINTR)
            return systemError(errno);
        done += std::size_t(std::max<ssize_t>(written, 0));
    }
    return {};
}

Result<std::uint64_t> SystemCalls::fileSystemType(int fd)
{
    struct statfs info;
    if (::fstatfs(fd, &info) != 0)
        return systemError(errno);
    return std::uint64_t(info.f_type);
}

std::error_code SystemCalls::checkAccess(const char *path, int mode)
{
    return checked(::access(path, mode));
}

uid_t SystemCalls::effectiveUser()
{
    return ::geteuid();
}

struct timespec SystemCalls::now()
{
    struct timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

std::error_code SystemCalls::makeFolderAt(int folder, const char *name, mode_t mode)
{
    return checked(::mkdirat(folder, name, mode));
}

std::error_code SystemCalls::symlinkAt(const char *target, int folder, const char *name)
{
    return checked(::symlinkat(target, folder, name));
}

std::error_code SystemCalls::linkAt(int fromFolder, const char *from, int toFolder, const char *to,
                                    int flags)
{
    return checked(::linkat(fromFolder, from, toFolder, to, flags));
}

std::error_code SystemCalls::renameAt(int folder, const char *from, const char *to)
{
    return checked(::renameat(folder, from, folder, to));
}

std::error_code SystemCalls::unlinkAt(int folder, const char *name, int flags)
{
    return checked(::unlinkat(folder, name, flags));
}

std::error_code SystemCalls::changeMode(int fd, mode_t mode)
{
    return checked(::fchmod(fd, mode));
}

std::error_code SystemCalls::changeOwner(int fd, uid_t user, gid_t group)
{
    return checked(::fchown(fd, user, group));
}

std::error_code SystemCalls::changeLinkOwner(int folder, const char *name, uid_t user, gid_t group)
{
    return checked(::fchownat(folder, name, user, group, AT_SYMLINK_NOFOLLOW));
}

std::error_code SystemCalls::setTimes(int fd, const struct timespec times[2])
{
    return checked(::futimens(fd, times));
}

std::error_code SystemCalls::setLinkTimes(int folder, const char *name,
                                          const struct timespec times[2])
{
    return checked(::utimensat(folder, name, times, AT_SYMLINK_NOFOLLOW));
}

std::error_code SystemCalls::setAttribute(int fd, const char *name, const std::string &value)
{
    return checked(::fsetxattr(fd, name, value.data(), value.size(), 0));
}

std::error_code SystemCalls::setLinkAttribute(int folder, const char *link, const char *name,
                                              const std::string &value)
{
    return checked(
        ::lsetxattr(linkPath(folder, link).c_str(), name, value.data(), value.size(), 0));
}

std::error_code SystemCalls::removeAttribute(int fd, const char *name)
{
    return checked(::fremovexattr(fd, name));
}

std::error_code SystemCalls::setSize(int fd, std::uint64_t size)
{
    return checked(::ftruncate(fd, off_t(size)));
}

std::error_code SystemCalls::closeFile(UniqueFd &fd)
{
    return checked(fd.close());
}

Result<std::size_t> SystemCalls::copyData(int from, int to, std::uint64_t offset,
                                          std::size_t length, DataCopyMethod &method,
                                          bool &whileWriting)
{
    return copyDataStep(from, to, offset, length, method, whileWriting);
}

Result<std::uint64_t> SystemCalls::freeBytes(int fd)
{
    struct statvfs info;
    if (::fstatvfs(fd, &info) != 0)
        return systemError(errno);
    return std::uint64_t(info.f_bavail) * info.f_frsize;
}

std::error_code SystemCalls::flushFileSystem(int fd)
{
    return checked(::syncfs(fd));
}
