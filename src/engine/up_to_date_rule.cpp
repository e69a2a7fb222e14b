#include "up_to_date_rule.h"

#include <linux/magic.h>

namespace {

// Not in every kernel's headers.
constexpr std::uint64_t exfatMagic = 0x2011BAB0;
constexpr std::uint64_t fuseMagic = 0x65735546;

// Whole-second change times: a change in the same second as the one recorded leaves the
// time as it was. A record made this long after such a change is safe from it (FAT's
// two-second steps and a clock read a little apart included).
constexpr std::int64_t wholeSecondMargin = 2;

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
    return changed.tv_nsec != 0 || record.made.tv_sec - changed.tv_sec >= wholeSecondMargin;
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
