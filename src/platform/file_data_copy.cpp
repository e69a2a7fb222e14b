#include "file_data_copy.h"

#include "copy/copy_monitor.h"
#include "system_calls.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// Small enough that a stop is honoured within a fraction of a second, large enough that
// the kernel's copy is not slowed by the calls in between.
constexpr std::uint64_t chunkSize = std::uint64_t(8) << 20;

// The next stretch of data at or after `offset` in a file of `size` bytes, as [start, end);
// start == size when only a hole is left. Without SEEK_DATA the rest is taken as data.
std::pair<std::uint64_t, std::uint64_t> nextData(int fd, std::uint64_t offset, std::uint64_t size)
{
    const off_t start = lseek(fd, off_t(offset), SEEK_DATA);
    if (start < 0)
        return { errno == ENXIO ? size : offset, size };
    const off_t end = lseek(fd, start, SEEK_HOLE);
    const std::uint64_t dataStart = std::min(std::uint64_t(start), size);
    return { dataStart, end < 0 ? size : std::clamp(std::uint64_t(end), dataStart, size) };
}

} // namespace

DataCopyResult copyFileData(SystemCalls &calls, int from, int to, std::uint64_t size,
                            bool mayHaveHoles, CopyMonitor &monitor, DataCopyMethod method)
{
    const std::uint64_t expected = size;
    std::uint64_t offset = 0;
    std::uint64_t written = 0; // the end of the data written so far
    while (offset < size) {
        const auto [start, end]
            = mayHaveHoles ? nextData(from, offset, size) : std::pair { offset, size };
        if (start > offset) {
            monitor.bytesCopied(start - offset);
            offset = start;
        }
        while (offset < end) {
            if (monitor.stopRequested())
                return { ECANCELED, false };
            bool whileWriting = false;
            const ssize_t moved = calls.copyData(
                from, to, offset, std::min(chunkSize, end - offset), method, whileWriting);
            if (moved < 0)
                return { errno, whileWriting };
            if (moved == 0) { // it shrank: the copy ends where the file does now
                size = offset;
                break;
            }
            offset += std::uint64_t(moved);
            written = offset;
            monitor.bytesCopied(std::uint64_t(moved));
        }
    }
    // A hole at the end, or a file that shrank, leaves the length to be set.
    if (written != size && ftruncate(to, off_t(size)) != 0)
        return { errno, true };
    if (expected > size)
        monitor.bytesCopied(expected - size);
    return {};
}
