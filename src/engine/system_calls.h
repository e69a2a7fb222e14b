#pragma once

#include "data_copy_step.h"
#include "failure.h"
#include "file_status.h"
#include "folder_entry.h"
#include "result.h"
#include "unique_fd.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A folder as reached through one path: what it is, and the mount it was reached through
// (0 where the kernel does not say), so that a folder seen again can be told to be still
// attached where it was.
struct Placement
{
    FileIdentity identity;
    std::uint64_t mount = 0;
    bool mountRoot = false; // the top folder of its mount
};

// What the look inside a folder learns of one entry from one statx(), without following
// a link.
struct EntryStatus
{
    EntryKind kind = EntryKind::Special;
    FileIdentity identity;
    std::int64_t modifiedSecs = 0;
    std::uint32_t modifiedNanos = 0;
    std::uint64_t size = 0;
    uid_t owner = 0;
    bool mountRoot = false; // another file system is mounted there
};

// Every system call the engine makes, with the system's errors as error codes. The defaults
// make the real calls; tests subclass it to make one call fail as a full, failing,
// read-only or FAT-formatted disk would. Nothing here follows a link but openPath(), which
// opens what the user chose.
class SystemCalls
{
public:
    virtual ~SystemCalls() = default;

    // Opening and reading.
    virtual Result<UniqueFd> openPath(const std::filesystem::path &path, int flags);
    virtual Result<UniqueFd> openAt(int folder, const char *name, int flags, mode_t mode = 0);
    virtual Result<FileStatus> status(int fd);
    virtual Result<FileStatus> statusAt(int folder, const char *name);
    // Where `name` in `folder` is mounted, a link there followed; `folder` itself for "".
    virtual Result<Placement> placement(int folder, const char *name);
    // Only what the look needs of `name`; `cachedOnly` takes what the system already holds,
    // so that a network share mounted there is not asked.
    virtual Result<EntryStatus> entryStatusAt(int folder, const char *name, bool cachedOnly);
    // The entries of the open folder but "." and "..", in the order the system lists them.
    // Reads through a descriptor of its own, so `folder` stays as it was; one opened with
    // O_NOATIME is read without changing its access time.
    virtual Result<std::vector<FolderEntry>> readFolder(int folder);
    // The target of the link `name`; ENAMETOOLONG when it is longer than a path may be.
    virtual Result<std::string> readLink(int folder, const char *name);
    // The names of the file's extended attributes, each ended by a NUL; the value of one.
    virtual Result<std::string> attributeNames(int fd);
    virtual Result<std::string> attribute(int fd, const char *name);
    // The names of the symbolic link `link` in the open folder `folder`, not of its target.
    virtual Result<std::string> linkAttributeNames(int folder, const char *link);
    // The attribute `attribute` of the entry `name` in `folder`, a link not followed; in one
    // call where the value is short.
    virtual Result<std::string> attributeAt(int folder, const char *name, const char *attribute);
    // lseek() with SEEK_DATA or SEEK_HOLE.
    virtual Result<std::uint64_t> seek(int fd, std::uint64_t offset, int whence);
    // Up to `length` bytes at `offset`; 0 at the end.
    virtual Result<std::size_t> readAt(int fd, char *buffer, std::size_t length,
                                       std::uint64_t offset);
    // How `fd` will be read (posix_fadvise): a hint, whose failure changes nothing.
    virtual void adviseReading(int fd, std::uint64_t offset, std::uint64_t length, int advice);
    // The kind of file system that holds `fd`, as statfs() names it (EXT4_SUPER_MAGIC...).
    virtual Result<std::uint64_t> fileSystemType(int fd);
    virtual std::error_code checkAccess(const char *path, int mode);
    virtual uid_t effectiveUser();
    // The system clock (CLOCK_REALTIME), as file times are kept.
    virtual struct timespec now();

    // Making and changing entries.
    virtual std::error_code makeFolderAt(int folder, const char *name, mode_t mode);
    virtual std::error_code symlinkAt(const char *target, int folder, const char *name);
    virtual std::error_code linkAt(int fromFolder, const char *from, int toFolder, const char *to,
                                   int flags);
    virtual std::error_code renameAt(int folder, const char *from, const char *to);
    virtual std::error_code unlinkAt(int folder, const char *name, int flags);
    virtual std::error_code changeMode(int fd, mode_t mode);
    virtual std::error_code changeOwner(int fd, uid_t user, gid_t group);
    virtual std::error_code changeLinkOwner(int folder, const char *name, uid_t user, gid_t group);
    virtual std::error_code setTimes(int fd, const struct timespec times[2]);
    virtual std::error_code setLinkTimes(int folder, const char *name,
                                         const struct timespec times[2]);
    virtual std::error_code setAttribute(int fd, const char *name, const std::string &value);
    virtual std::error_code setLinkAttribute(int folder, const char *link, const char *name,
                                             const std::string &value);
    virtual std::error_code removeAttribute(int fd, const char *name);
    virtual std::error_code setSize(int fd, std::uint64_t size);
    // Closes `fd` now: some file systems report a failed write only here.
    virtual std::error_code closeFile(UniqueFd &fd);
    // All `length` bytes at `offset`.
    virtual std::error_code writeAt(int fd, const char *buffer, std::size_t length,
                                    std::uint64_t offset);
    // One step of a file's data; see copyDataStep().
    virtual Result<std::size_t> copyData(int from, int to, std::uint64_t offset, std::size_t length,
                                         DataCopyMethod &method, bool &whileWriting);

    // The file system as a whole: the bytes an unprivileged user may still write on it, and
    // writing out everything it holds in memory.
    virtual Result<std::uint64_t> freeBytes(int fd);
    virtual std::error_code flushFileSystem(int fd);
};
