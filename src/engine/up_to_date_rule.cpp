#include "up_to_date_rule.h"

#include <linux/magic.h>

namespace {

// Not in every kernel's headers.
constexpr std::uint64_t exfatMagic = 0x2011BAB0;
constexpr std::uint64_t fuseMagic = 0x65735546;

// A change in the same step of the clock that stamps change times as the one recorded
// leaves the time as it was: a record made this long after the change it saw is safe from
// that. Whole seconds where the drive keeps no more (FAT's two-second steps and a clock read
// a little apart included), else the system's tick (a hundredth of a second at most), as
// kernels before 6.13 stamp every change with the time of the last tick.
constexpr std::int64_t wholeSecondMarginNanos = 2'000'000'000;
constexpr std::int64_t tickMarginNanos = 100'000'000;

std::int64_t nanosBetween(const struct timespec &from, const struct timespec &to)
{
    return (std::int64_t(to.tv_sec) - from.tv_sec) * 1'000'000'000 + (to.tv_nsec - from.tv_nsec);
}

// A record describes the copy only while the copy still has what it was given.
bool recordFitsCopy(const SourceRecord &record, const UpToDateFacts &facts)
{
    return record.source.size == facts.copySize
        && sameTime(record.copyModified, facts.copyModified);
}

bool changeTimeWorthSomething(const SourceRecord &record, const UpToDateFacts &facts)
{
    switch (facts.sourceTimes) {
    case ChangeTimes::ProveNothing:
        return false;
    case ChangeTimes::ProveWhereApart:
        if (sameTime(facts.source.changed, facts.source.modified))
            return false;
        break;
    case ChangeTimes::Prove:
        break;
    }
    const struct timespec &changed = record.source.changed;
    const std::int64_t margin = changed.tv_nsec == 0 ? wholeSecondMarginNanos : tickMarginNanos;
    return nanosBetween(changed, record.made) >= margin;
}

} // namespace

bool sameTime(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

ChangeTimes changeTimesOf(std::uint64_t type)
{
    switch (type) {
    case MSDOS_SUPER_MAGIC:
    case exfatMagic:
        return ChangeTimes::ProveNothing;
    case fuseMagic:
        return ChangeTimes::ProveWhereApart;
    default:
        return ChangeTimes::Prove;
    }
}

UpToDate decideUpToDate(const UpToDateFacts &facts)
{
    if (facts.rewrite || facts.copySize != facts.source.size)
        return UpToDate::Copy;
    const std::optional<SourceRecord> &record = facts.record;
    if (!record || !recordFitsCopy(*record, facts) || record->source.inode != facts.source.inode)
        return UpToDate::CompareData;
    const SourceState &then = record->source, &now = facts.source;
    // Written to since: not worth reading the copy first.
    if (!sameTime(then.modified, now.modified))
        return UpToDate::Copy;
    // The same change time: nothing changed since, not even with the time put back.
    if (sameTime(then.changed, now.changed) && changeTimeWorthSomething(*record, facts))
        return UpToDate::Proven;
    return UpToDate::CompareData;
}
