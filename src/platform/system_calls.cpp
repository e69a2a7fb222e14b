#include "system_calls.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>

int SystemCalls::openAt(int folder, const char *name, int flags, mode_t mode)
{
    return ::openat(folder, name, flags, mode);
}

int SystemCalls::makeFolderAt(int folder, const char *name, mode_t mode)
{
    return ::mkdirat(folder, name, mode);
}

int SystemCalls::statAt(int folder, const char *name, struct stat &info)
{
    return ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW);
}

int SystemCalls::symlinkAt(const char *target, int folder, const char *name)
{
    return ::symlinkat(target, folder, name);
}

int SystemCalls::linkAt(int fromFolder, const char *from, int toFolder, const char *to, int flags)
{
    return ::linkat(fromFolder, from, toFolder, to, flags);
}

int SystemCalls::renameAt(int folder, const char *from, const char *to)
{
    return ::renameat(folder, from, folder, to);
}

int SystemCalls::unlinkAt(int folder, const char *name, int flags)
{
    return ::unlinkat(folder, name, flags);
}

int SystemCalls::changeMode(int fd, mode_t mode)
{
    return ::fchmod(fd, mode);
}

int SystemCalls::changeOwner(int fd, uid_t user, gid_t group)
{
    return ::fchown(fd, user, group);
}

int SystemCalls::changeLinkOwner(int folder, const char *name, uid_t user, gid_t group)
{
    return ::fchownat(folder, name, user, group, AT_SYMLINK_NOFOLLOW);
}

int SystemCalls::setTimes(int fd, const struct timespec times[2])
{
    return ::futimens(fd, times);
}

int SystemCalls::setLinkTimes(int folder, const char *name, const struct timespec times[2])
{
    return ::utimensat(folder, name, times, AT_SYMLINK_NOFOLLOW);
}

int SystemCalls::setAttribute(int fd, const char *name, const void *value, std::size_t size)
{
    return ::fsetxattr(fd, name, value, size, 0);
}

ssize_t SystemCalls::copyData(int from, int to, std::uint64_t offset, std::size_t length,
                              DataCopyMethod &method, bool &whileWriting)
{
    return copyDataStep(from, to, offset, length, method, whileWriting);
}
