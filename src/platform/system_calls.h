#pragma once

#include "posix_file_copy.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <system_error>

[[noreturn]] inline void throwSystemError(int error = errno)
{
    throw std::system_error(error, std::generic_category());
}

// The system calls through which the copy engine changes or opens entries, with the
// system's conventions: -1 and errno on failure. The defaults make the real calls; tests
// subclass it to make one call fail with the error a full, read-only or FAT-formatted
// disk would give.
class SystemCalls
{
public:
    virtual ~SystemCalls() = default;

    virtual int openAt(int folder, const char *name, int flags, mode_t mode = 0);
    virtual int makeFolderAt(int folder, const char *name, mode_t mode);
    // lstat-like: a link is described, not followed.
    virtual int statAt(int folder, const char *name, struct stat &info);
    virtual int symlinkAt(const char *target, int folder, const char *name);
    virtual int linkAt(int fromFolder, const char *from, int toFolder, const char *to, int flags);
    virtual int renameAt(int folder, const char *from, const char *to);
    virtual int unlinkAt(int folder, const char *name, int flags);
    virtual int changeMode(int fd, mode_t mode);
    virtual int changeOwner(int fd, uid_t user, gid_t group);
    virtual int changeLinkOwner(int folder, const char *name, uid_t user, gid_t group);
    virtual int setTimes(int fd, const struct timespec times[2]);
    virtual int setLinkTimes(int folder, const char *name, const struct timespec times[2]);
    virtual int setAttribute(int fd, const char *name, const void *value, std::size_t size);
    // One step of a file's data; see copyDataStep().
    virtual ssize_t copyData(int from, int to, std::uint64_t offset, std::size_t length,
                             DataCopyMethod &method, bool &whileWriting);
};
