#include "source_record.h"

#include "run_policy.h"
#include "system_calls.h"

#include <limits>

namespace {

constexpr char version = 2;
// The version, the inode, the size and four times, each eight bytes, least significant
// first: 49 bytes, which ext4 keeps inside a 256-byte inode beside the name. A longer
// record takes a block of its own per file, as much again as a small file's data, and a
// second run with the cache dropped would read one more block for every file.
constexpr std::size_t recordSize = 1 + 6 * 8;
constexpr std::int64_t nanosPerSecond = 1'000'000'000;

void appendNumber(std::string &record, std::uint64_t number)
{
    for (int byte = 0; byte < 8; ++byte)
        record += char(number >> (8 * byte) & 0xff);
}

std::uint64_t numberAt(std::string_view record, std::size_t offset)
{
    std::uint64_t number = 0;
    for (int byte = 0; byte < 8; ++byte)
        number |= std::uint64_t(std::uint8_t(record[offset + std::size_t(byte)])) << (8 * byte);
    return number;
}

struct timespec timeOf(std::int64_t nanos)
{
    const std::int64_t remainder = nanos % nanosPerSecond;
    const std::int64_t secs = nanos / nanosPerSecond - (remainder < 0 ? 1 : 0);
    return { time_t(secs), long(remainder < 0 ? remainder + nanosPerSecond : remainder) };
}

} // namespace

std::optional<std::int64_t> nanosOf(const struct timespec &time)
{
    constexpr std::int64_t largestSeconds
        = std::numeric_limits<std::int64_t>::max() / nanosPerSecond - 1;
    if (time.tv_sec > largestSeconds || time.tv_sec < -largestSeconds || time.tv_nsec < 0
        || time.tv_nsec >= nanosPerSecond)
        return std::nullopt;
    return std::int64_t(time.tv_sec) * nanosPerSecond + time.tv_nsec;
}

std::optional<std::string> encodeSourceRecord(const SourceRecord &record)
{
    std::string encoded(1, version);
    appendNumber(encoded, record.source.inode);
    appendNumber(encoded, record.source.size);
    for (const struct timespec &time :
         { record.source.modified, record.source.changed, record.copyModified, record.made }) {
        const std::optional<std::int64_t> nanos = nanosOf(time);
        if (!nanos)
            return std::nullopt;
        appendNumber(encoded, std::uint64_t(*nanos));
    }
    return encoded;
}

std::optional<SourceRecord> decodeSourceRecord(std::string_view encoded)
{
    if (encoded.size() != recordSize || encoded.front() != version)
        return std::nullopt;
    const auto time = [&](std::size_t field) {
        return timeOf(std::int64_t(numberAt(encoded, 1 + 8 * field)));
    };
    return SourceRecord { { numberAt(encoded, 1), numberAt(encoded, 9), time(2), time(3) },
                          time(4),
                          time(5) };
}

std::optional<SourceRecord> readSourceRecord(SystemCalls &calls, int folder, const char *name,
                                             bool &driveHoldsNone)
{
    const Result<std::string> text = calls.attributeAt(folder, name, kSourceRecordAttribute);
    if (!text) {
        driveHoldsNone = text.error() == std::errc::operation_not_supported;
        return std::nullopt;
    }
    return decodeSourceRecord(*text);
}

std::error_code writeSourceRecord(SystemCalls &calls, int fd, const SourceRecord &record)
{
    const std::optional<std::string> encoded = encodeSourceRecord(record);
    if (!encoded)
        return {};
    const std::error_code error = calls.setAttribute(fd, kSourceRecordAttribute, *encoded);
    // A full drive may refuse the block an attribute needs while the data is there.
    if (error && stopsRun(Failure(error, Side::Destination)) && !isDestinationFull(error))
        throw Failure(error, Side::Destination);
    return error;
}
