#include "posix_file_copy.h"

#include <sys/sendfile.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace {

// The most one kernel call is asked to move; sendfile takes at most about 2 GiB.
constexpr std::size_t kernelChunk = std::size_t(1) << 30;
constexpr std::size_t bufferSize = std::size_t(1) << 20;

// Errors that mean "this way does not work for these files", not "the copy failed".
bool isUnsupported(int error)
{
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP;
}

bool isWriteError(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EROFS;
}

ssize_t kernelCopyStep(DataCopyMethod method, int from, int to)
{
    if (method == DataCopyMethod::CopyFileRange)
        return copy_file_range(from, nullptr, to, nullptr, kernelChunk, 0);
    return sendfile(to, from, nullptr, kernelChunk);
}

DataCopyMethod nextMethod(DataCopyMethod method)
{
    return method == DataCopyMethod::CopyFileRange ? DataCopyMethod::SendFile
                                                   : DataCopyMethod::ReadWrite;
}

enum class KernelOutcome { Done, TryNext, ConfirmEnd, Failed };

// Runs one in-kernel method until the end of the source. Both calls move the files'
// offsets, so whatever comes next carries on where this one stopped.
KernelOutcome kernelCopy(DataCopyMethod method, int from, int to, std::uint64_t sizeHint,
                         std::uint64_t &copied, DataCopyResult &result)
{
    for (;;) {
        const ssize_t moved = kernelCopyStep(method, from, to);
        if (moved > 0) {
            copied += static_cast<std::uint64_t>(moved);
            continue;
        }
        if (moved == 0)
            return copied >= sizeHint ? KernelOutcome::Done : KernelOutcome::ConfirmEnd;
        if (errno == EINTR)
            continue;
        if (isUnsupported(errno))
            return KernelOutcome::TryNext;
        result = { errno, isWriteError(errno) };
        return KernelOutcome::Failed;
    }
}

bool writeAll(int to, const char *data, std::size_t size, DataCopyResult &result)
{
    while (size > 0) {
        const ssize_t written = write(to, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            result = { errno, true };
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

DataCopyResult readWriteCopy(int from, int to)
{
    DataCopyResult result;
    const auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
    for (;;) {
        const ssize_t got = read(from, buffer.get(), bufferSize);
        if (got == 0)
            return result;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return { errno, false };
        }
        if (!writeAll(to, buffer.get(), static_cast<std::size_t>(got), result))
            return result;
    }
}

} // namespace

DataCopyResult copyFileData(int from, int to, std::uint64_t sizeHint, DataCopyMethod first)
{
    DataCopyResult result;
    std::uint64_t copied = 0;
    for (DataCopyMethod method = first; method != DataCopyMethod::ReadWrite;
         method = nextMethod(method)) {
        switch (kernelCopy(method, from, to, sizeHint, copied, result)) {
        case KernelOutcome::Done:
        case KernelOutcome::Failed:
            return result;
        case KernelOutcome::ConfirmEnd:
            return readWriteCopy(from, to);
        case KernelOutcome::TryNext:
            break;
        }
    }
    return readWriteCopy(from, to);
}
