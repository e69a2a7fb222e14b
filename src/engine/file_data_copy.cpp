#include "file_data_copy.h"

#include "copy_monitor.h"
#include "hash_behind.h"
#include "stream_hash.h"
#include "system_calls.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// Chunks are sized by the time the file's reads take, to take about a tenth of a second
// each, so that a stop is honoured within a fraction of a second even on a source that reads
// 1 MB/s. Chunks served from memory at first (the page cache) say nothing of the drive behind
// them: they grow only once the reads have taken long enough to be a drive's, at most
// fourfold at a time, at the rate of all of them so far.
constexpr std::uint64_t firstChunk = std::uint64_t(256) << 10;
constexpr std::uint64_t smallestChunk = std::uint64_t(64) << 10;
constexpr std::uint64_t largestChunk = std::uint64_t(256) << 20;
constexpr auto chunkTime = std::chrono::nanoseconds(std::chrono::milliseconds(100));
constexpr auto drivesTime = std::chrono::nanoseconds(std::chrono::milliseconds(10));

class ChunkSizes
{
public:
    // Chunks of at most `largest` bytes, where the time their reads take would give larger.
    explicit ChunkSizes(std::uint64_t largest)
        : m_largest(largest)
    { }

    std::uint64_t next() const { return std::min(m_chunk, m_largest); }
    // The chunk the time alone gives: how far the drive is read ahead.
    std::uint64_t byTime() const { return m_chunk; }
    // A chunk of `moved` bytes took `took`.
    void took(std::uint64_t moved, std::chrono::steady_clock::duration took)
    {
        m_moved += moved;
        m_took += std::chrono::duration_cast<std::chrono::nanoseconds>(took);
        if (m_took < drivesTime)
            return;
        const double atRate = double(m_moved) * double(chunkTime.count()) / double(m_took.count());
        m_chunk = std::clamp(std::uint64_t(std::min(atRate, double(largestChunk))), smallestChunk,
                             std::min(m_chunk * 4, largestChunk));
    }

private:
    const std::uint64_t m_largest;
    std::uint64_t m_chunk = firstChunk;
    std::uint64_t m_moved = 0;
    std::chrono::nanoseconds m_took { 0 };
};

// The kernel reads ahead of a file read in order in windows of up to the drive's
// read_ahead_kb, and a slow drive serves a window whole: one small read then waits for
// megabytes. A file of more than one chunk is read ahead by this copy instead, as far as the
// chunk after the one read, chunks as the time gives them: a copy in smaller chunks (hashed,
// compared) reads ahead as the plain copy does. Each part is asked for once: asking walks
// the part's pages in memory, and a walk a 2 MiB chunk cost a copy from memory 2 % of its time.
class ReadAhead
{
public:
    ReadAhead(SystemCalls &calls, int fd, std::uint64_t size)
        : m_calls(calls)
        , m_fd(fd)
        , m_size(size > firstChunk ? size : 0)
    {
        if (m_size)
            calls.adviseReading(fd, 0, 0, POSIX_FADV_RANDOM);
    }

    // Before a chunk at `offset` of a file whose data, or whose stretch of data, ends at `end`.
    void before(std::uint64_t offset, const ChunkSizes &chunks, std::uint64_t end)
    {
        const std::uint64_t until = std::min(offset + 2 * chunks.byTime(), std::min(end, m_size));
        if (until <= m_asked)
            return;
        const std::uint64_t from = std::max(offset, m_asked);
        m_calls.adviseReading(m_fd, from, until - from, POSIX_FADV_WILLNEED);
        m_asked = until;
    }

private:
    SystemCalls &m_calls;
    const int m_fd;
    const std::uint64_t m_size; // 0: the kernel's own read-ahead serves
    std::uint64_t m_asked = 0; // asked for up to here
};

// Both files' chunks are held in memory while compared.
constexpr std::uint64_t largestComparedChunk = std::uint64_t(4) << 20;

// A file this large is copied in the kernel and hashed behind the copy (hash_behind.h),
// in chunks small enough that the hashing of the last one adds little to the copy's time.
constexpr std::uint64_t hashBehindFrom = std::uint64_t(8) << 20;
constexpr std::uint64_t largestChunkHashedBehind = std::uint64_t(2) << 20;

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

// One step through a buffer of our own, so that the bytes hashed are the bytes written:
// in-kernel copies never show them.
Result<std::size_t> hashedStep(SystemCalls &calls, int from, int to, std::uint64_t offset,
                               std::size_t length, StreamHash &hash, bool &whileWriting)
{
    thread_local const auto buffer = std::make_unique_for_overwrite<char[]>(largestComparedChunk);
    whileWriting = false;
    const Result<std::size_t> got = calls.readAt(
        from, buffer.get(), std::min<std::size_t>(length, largestComparedChunk), offset);
    if (!got || *got == 0)
        return got;
    whileWriting = true;
    if (const std::error_code error = calls.writeAt(to, buffer.get(), *got, offset))
        return error;
    hash.add(buffer.get(), *got);
    return got;
}

} // namespace

void copyFileData(SystemCalls &calls, int from, int to, std::uint64_t size, bool mayHaveHoles,
                  CopyMonitor &monitor, DataCopyMethod method, StreamHash *hash)
{
    const std::uint64_t expected = size;
    std::uint64_t offset = 0;
    std::uint64_t written = 0; // the end of the data written so far
    // Holes are hashed as zeros in order with the data: only a file without them is hashed
    // behind the copy.
    std::optional<HashBehind> behind;
    if (hash && size >= hashBehindFrom && !mayHaveHoles)
        behind.emplace(calls, to, *hash);
    ChunkSizes chunks(behind ? largestChunkHashedBehind : largestChunk);
    ReadAhead readAhead(calls, from, size);
    while (offset < size) {
        const auto [start, end]
            = mayHaveHoles ? nextData(calls, from, offset, size) : std::pair { offset, size };
        if (start > offset) {
            if (hash)
                hash->addZeros(start - offset);
            monitor.bytesCopied(start - offset);
            offset = start;
        }
        while (offset < end) {
            if (monitor.stopAfterPause())
                throw stopAt({});
            bool whileWriting = false;
            readAhead.before(offset, chunks, end);
            const auto started = std::chrono::steady_clock::now();
            const std::size_t length = std::size_t(std::min(chunks.next(), end - offset));
            const Result<std::size_t> moved = hash && !behind
                ? hashedStep(calls, from, to, offset, length, *hash, whileWriting)
                : calls.copyData(from, to, offset, length, method, whileWriting);
            if (!moved)
                throw Failure(moved.error(), whileWriting ? Side::Destination : Side::Source);
            chunks.took(*moved, std::chrono::steady_clock::now() - started);
            if (*moved == 0) { // it shrank: the copy ends where the file does now
                size = offset;
                break;
            }
            offset += *moved;
            written = offset;
            if (behind)
                behind->written(written);
            monitor.bytesCopied(*moved);
        }
    }
    if (behind)
        behind->finish();
    // A hole at the end, or a file that shrank, leaves the length to be set.
    if (written != size)
        throwIfFailed(calls.setSize(to, size), Side::Destination);
    if (hash && size > hash->bytes())
        hash->addZeros(size - hash->bytes());
    if (expected > size)
        monitor.bytesCopied(expected - size);
}

bool sameFileData(SystemCalls &calls, int first, int second, std::uint64_t size,
                  CopyMonitor &monitor)
{
    // Kept for the thread's next file, and not cleared: every byte compared is read first.
    thread_local const auto ours = std::make_unique_for_overwrite<char[]>(largestComparedChunk);
    thread_local const auto theirs = std::make_unique_for_overwrite<char[]>(largestComparedChunk);
    ChunkSizes chunks(largestComparedChunk);
    ReadAhead readAheadFirst(calls, first, size), readAheadSecond(calls, second, size);
    for (std::uint64_t offset = 0; offset < size;) {
        if (monitor.stopAfterPause())
            throw stopAt({});
        readAheadFirst.before(offset, chunks, size);
        readAheadSecond.before(offset, chunks, size);
        const std::size_t length = std::size_t(std::min(chunks.next(), size - offset));
        const auto started = std::chrono::steady_clock::now();
        const std::size_t got
            = calls.readAt(first, ours.get(), length, offset).orThrow(Side::Source);
        if (got == 0
            || calls.readAt(second, theirs.get(), got, offset).orThrow(Side::Destination) != got
            || std::memcmp(ours.get(), theirs.get(), got) != 0)
            return false;
        chunks.took(got, std::chrono::steady_clock::now() - started);
        offset += got;
        monitor.bytesCopied(got);
    }
    return true;
}
