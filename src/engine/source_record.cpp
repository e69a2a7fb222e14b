#include "source_record.h"

#include "run_policy.h"
#include "system_calls.h"

#include <cerrno>
#include <charconv>
#include <cstdio>

namespace {

constexpr std::string_view version = "1";

void appendTime(std::string &text, const struct timespec &time)
{
    char part[48];
    std::snprintf(part, sizeof part, " %lld.%09ld", static_cast<long long>(time.tv_sec),
                  static_cast<long>(time.tv_nsec));
    text += part;
}

// Reads one number of `text` up to the next space, or to its end.
class Fields
{
public:
    explicit Fields(std::string_view text)
        : m_text(text)
    { }

    template<typename Number> bool next(Number &number, char end = ' ')
    {
        const auto [stop, error]
            = std::from_chars(m_text.data(), m_text.data() + m_text.size(), number);
        if (error != std::errc() || stop == m_text.data())
            return false;
        m_text.remove_prefix(std::size_t(stop - m_text.data()));
        if (m_text.empty())
            return end == ' ';
        if (m_text.front() != end)
            return false;
        m_text.remove_prefix(1);
        return true;
    }
    bool time(struct timespec &time)
    {
        long long secs = 0;
        long nanos = 0;
        if (!next(secs, '.') || !next(nanos) || nanos < 0 || nanos >= 1'000'000'000)
            return false;
        time = { secs, nanos };
        return true;
    }
    bool done() const { return m_text.empty(); }

private:
    std::string_view m_text;
};

} // namespace

std::string encodeSourceRecord(const SourceRecord &record)
{
    std::string text(version);
    text += ' ' + std::to_string(record.source.inode) + ' ' + std::to_string(record.source.size);
    for (const struct timespec &time :
         { record.source.modified, record.source.changed, record.copyModified, record.made })
        appendTime(text, time);
    return text;
}

std::optional<SourceRecord> decodeSourceRecord(std::string_view text)
{
    if (!text.starts_with(std::string(version) + ' '))
        return std::nullopt;
    text.remove_prefix(version.size() + 1);
    SourceRecord record;
    Fields fields(text);
    if (fields.next(record.source.inode) && fields.next(record.source.size)
        && fields.time(record.source.modified) && fields.time(record.source.changed)
        && fields.time(record.copyModified) && fields.time(record.made) && fields.done())
        return record;
    return std::nullopt;
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
    const std::error_code error
        = calls.setAttribute(fd, kSourceRecordAttribute, encodeSourceRecord(record));
    // A full drive may refuse the block an attribute needs while the data is there.
    if (error && stopsRun(Failure(error, Side::Destination)) && !isDestinationFull(error))
        throw Failure(error, Side::Destination);
    return error;
}
