#include "data_copy_step.h"

#include <sys/sendfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace {

constexpr std::size_t bufferSize = std::size_t(1) << 20;

// Errors that mean "this way does not work for these files", not "the copy failed".
bool isUnsupported(int error)
{
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP
        || error == EBADF;
}

ssize_t kernelStep(DataCopyMethod method, int from, int to, std::uint64_t offset,
                   std::size_t length)
{
    if (method == DataCopyMethod::CopyFileRange) {
        loff_t in = loff_t(offset);
        loff_t out = loff_t(offset);
        return copy_file_range(from, &in, to, &out, length, 0);
    }
    // sendfile writes at the file offset of `to`.
    if (lseek(to, off_t(offset), SEEK_SET) < 0)
        return -1;
    off_t in = off_t(offset);
    return sendfile(to, from, &in, length);
}

ssize_t readWriteStep(int from, int to, std::uint64_t offset, std::size_t length,
                      bool &whileWriting)
{
    thread_local const auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
    ssize_t got;
    do {
        whileWriting = false;
        got = pread(from, buffer.get(), std::min(length, bufferSize), off_t(offset));
    } while (got < 0 && errno == EINTR);
    for (ssize_t done = 0; done < got;) {
        whileWriting = true;
        const ssize_t written
            = pwrite(to, buffer.get() + done, std::size_t(got - done), off_t(offset) + done);
        if (written < 0 && errno != EINTR)
            return -1;
        done += std::max<ssize_t>(written, 0);
    }
    return got;
}

} // namespace

Result<std::size_t> copyDataStep(int from, int to, std::uint64_t offset, std::size_t length,
                                 DataCopyMethod &method, bool &whileWriting)
{
    const auto result = [](ssize_t moved) -> Result<std::size_t> {
        if (moved < 0)
            return systemError(errno);
        return std::size_t(moved);
    };
    while (method != DataCopyMethod::ReadWrite) {
        const ssize_t moved = kernelStep(method, from, to, offset, length);
        if (moved > 0)
            return std::size_t(moved);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0 && isUnsupported(errno)) {
            method = method == DataCopyMethod::CopyFileRange ? DataCopyMethod::SendFile
                                                             : DataCopyMethod::ReadWrite;
            continue;
        }
        // An end or an error: plain reads and writes confirm it. Where they find data
        // after an end, the file system lied to the kernel's methods: keep away from them.
        const ssize_t confirmed = readWriteStep(from, to, offset, length, whileWriting);
        if (moved == 0 && confirmed > 0)
            method = DataCopyMethod::ReadWrite;
        return result(confirmed);
    }
    return result(readWriteStep(from, to, offset, length, whileWriting));
}
