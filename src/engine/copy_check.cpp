#include "copy_check.h"

#include "copy_monitor.h"
#include "system_calls.h"

#include <fcntl.h>
#include <linux/magic.h>

#include <map>
#include <memory>

namespace {

const char *const readsOtherwise = "the copy reads back differently from what was written";

// A second of reading on the slowest drives: a pause or stop waits at most that long.
constexpr std::size_t kReadChunk = std::size_t(1) << 20;
// Longer relative paths are opened a folder at a time.
constexpr std::size_t kLongestPath = 4000;

// File systems whose drivers may answer a read from memory of their own, or from a server.
bool mayAnswerFromMemory(std::uint64_t type)
{
    switch (type) {
    case FUSE_SUPER_MAGIC:
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case V9FS_MAGIC:
        return true;
    default:
        return false;
    }
}

Result<UniqueFd> openCopy(SystemCalls &calls, int destination, const std::filesystem::path &path)
{
    constexpr int kOpenFile = O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
    if (path.native().size() < kLongestPath)
        return calls.openAt(destination, path.c_str(), kOpenFile);
    UniqueFd folder;
    int at = destination;
    for (auto part = path.begin(); part != path.end(); ++part) {
        const bool last = std::next(part) == path.end();
        Result<UniqueFd> opened = calls.openAt(
            at, part->c_str(), last ? kOpenFile : O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (!opened || last)
            return opened;
        folder = std::move(*opened);
        at = folder.get();
    }
    return systemError(ENOENT);
}

// The hash of what `fd` reads back, from its start to its end.
Result<StreamHash::Digest> readBack(SystemCalls &calls, int fd, CopyMonitor &monitor)
{
    thread_local const auto buffer = std::make_unique_for_overwrite<char[]>(kReadChunk);
    StreamHash hash;
    for (std::uint64_t offset = 0;;) {
        if (monitor.stopAfterPause())
            throw stopAt({});
        const Result<std::size_t> got = calls.readAt(fd, buffer.get(), kReadChunk, offset);
        if (!got)
            return got.error();
        if (*got == 0)
            return hash.digest();
        hash.add(buffer.get(), *got);
        offset += *got;
        monitor.bytesCopied(*got);
    }
}

} // namespace

void checkCopies(SystemCalls &calls, int destination, const std::filesystem::path &destinationPath,
                 const std::vector<WrittenCopy> &copies, CopyMonitor &monitor, CheckReport &report)
{
    std::map<std::uint64_t, bool> fromDrive; // by device: whether dropped pages are read anew
    for (const WrittenCopy &copy : copies) {
        const std::filesystem::path path = destinationPath / copy.path;
        monitor.fileStarted(path);
        ++report.checked;
        Result<UniqueFd> opened = openCopy(calls, destination, copy.path);
        const Result<FileStatus> status = opened ? calls.status(opened->get()) : opened.error();
        if (!status) {
            report.problems.push_back(
                { path, "the copy could not be read back: " + status.error().message() });
            monitor.bytesCopied(copy.size);
            continue;
        }
        const int fd = opened->get();
        // Written out by the flush, its pages are clean, and all of them can go.
        calls.adviseReading(fd, 0, 0, POSIX_FADV_DONTNEED);
        auto [known, isNew] = fromDrive.try_emplace(copy.identity.device, true);
        if (isNew) {
            const Result<std::uint64_t> type = calls.fileSystemType(fd);
            known->second = type && !mayAnswerFromMemory(*type);
            if (!known->second)
                report.notFromDrive.push_back(path.parent_path());
        }
        if (status->identity() != copy.identity || std::uint64_t(status->size()) != copy.size) {
            report.problems.push_back({ path, readsOtherwise });
            monitor.bytesCopied(copy.size);
            continue;
        }
        const Result<StreamHash::Digest> digest = readBack(calls, fd, monitor);
        if (!digest)
            report.problems.push_back(
                { path, "the copy could not be read back: " + digest.error().message() });
        else if (*digest != copy.digest)
            report.problems.push_back({ path, readsOtherwise });
    }
}
