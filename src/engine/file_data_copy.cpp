#include "file_data_copy.h"

#include "copy_monitor.h"
#include "system_calls.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

namespace {

// The first chunk of a file is small, so that a stop is honoured within a fraction of a
// second even on a source that reads 1 MB/s; each later one is sized from the rate measured
// on the one before to take about a tenth of a second. It grows at most fourfold at a time:
// a chunk served from memory says little about the drive behind it.
constexpr std::uint64_t firstChunk = std::uint64_t(256) << 10;
constexpr std::uint64_t smallestChunk = std::uint64_t(64) << 10;
constexpr std::uint64_t largestChunk = std::uint64_t(256) << 20;
constexpr auto chunkTime = std::chrono::nanoseconds(std::chrono::milliseconds(100));

std::uint64_t nextChunkSize(std::uint64_t chunk, std::uint64_t moved,
                            std::chrono::steady_clock::duration took)
{
    const auto nanos = std::max<std::int64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(took).count(), 1);
    const std::uint64_t atRate = moved * std::uint64_t(chunkTime.count()) / std::uint64_t(nanos);
    return std::clamp(atRate, smallestChunk, std::min(chunk * 4, largestChunk));
}

// Both files' chunks are held in memory while compared.
constexpr std::uint64_t largestComparedChunk = std::uint64_t(4) << 20;

// The next stretch of data at or after `offset` in a file of `size` bytes, as [start, end);
// start == size when only a hole is left. Without SEEK_DATA the rest is taken as data.
std::pair<std::uint64_t, std::uint64_t> nextData(SystemCalls &calls, int fd, std::uint64_t offset,
                                                 std::uint64_t size)
{
    const Result<std::uint64_t> start = calls.seek(fd, offset, SEEK_DATA);
    if (!start)
        return { start.error().value() == ENXIO ? size : offset, size };
    const Result<std::uint64_t> end = calls.seek(fd, *start, SEEK_HOLE);
    const std::uint64_t dataStart = std::min(*start, size);
    return { dataStart, end ? std::clamp(*end, dataStart, size) : size };
}

} // namespace

void copyFileData(SystemCalls &calls, int from, int to, std::uint64_t size, bool mayHaveHoles,
                  CopyMonitor &monitor, DataCopyMethod method)
{
    const std::uint64_t expected = size;
    std::uint64_t offset = 0;
    std::uint64_t written = 0; // the end of the data written so far
    std::uint64_t chunk = firstChunk;
    while (offset < size) {
        const auto [start, end]
            = mayHaveHoles ? nextData(calls, from, offset, size) : std::pair { offset, size };
        if (start > offset) {
            monitor.bytesCopied(start - offset);
            offset = start;
        }
        while (offset < end) {
            if (monitor.stopRequested())
                throw stopAt({});
            bool whileWriting = false;
            const auto started = std::chrono::steady_clock::now();
            const Result<std::size_t> moved = calls.copyData(
                from, to, offset, std::min(chunk, end - offset), method, whileWriting);
            if (!moved)
                throw Failure(moved.error(), whileWriting ? Side::Destination : Side::Source);
            chunk = nextChunkSize(chunk, *moved, std::chrono::steady_clock::now() - started);
            if (*moved == 0) { // it shrank: the copy ends where the file does now
                size = offset;
                break;
            }
            offset += *moved;
            written = offset;
            monitor.bytesCopied(*moved);
        }
    }
    // A hole at the end, or a file that shrank, leaves the length to be set.
    if (written != size)
        throwIfFailed(calls.setSize(to, size), Side::Destination);
    if (expected > size)
        monitor.bytesCopied(expected - size);
}

bool sameFileData(SystemCalls &calls, int first, int second, std::uint64_t size,
                  CopyMonitor &monitor)
{
    // Kept for the thread's next file, and not cleared: every byte compared is read first.
    thread_local const auto ours = std::make_unique_for_overwrite<char[]>(largestComparedChunk);
    thread_local const auto theirs = std::make_unique_for_overwrite<char[]>(largestComparedChunk);
    std::uint64_t chunk = firstChunk;
    for (std::uint64_t offset = 0; offset < size;) {
        if (monitor.stopRequested())
            throw stopAt({});
        const std::size_t length = std::size_t(std::min(chunk, size - offset));
        const auto started = std::chrono::steady_clock::now();
        const std::size_t got
            = calls.readAt(first, ours.get(), length, offset).orThrow(Side::Source);
        if (got == 0
            || calls.readAt(second, theirs.get(), got, offset).orThrow(Side::Destination) != got
            || std::memcmp(ours.get(), theirs.get(), got) != 0)
            return false;
        chunk = std::min(nextChunkSize(chunk, got, std::chrono::steady_clock::now() - started),
                         largestComparedChunk);
        offset += got;
        monitor.bytesCopied(got);
    }
    return true;
}
