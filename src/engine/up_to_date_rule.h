#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <optional>

// Whether a file already at the destination is its source's copy, decided from plain values:
// the source's status now, the copy's, the record the copy keeps of its source, and what the
// source drive's change times are worth. Nothing here touches a file system.

// What a source file was, as far as telling it unchanged goes: its change time is set by the
// system at every change of data, attributes, mode, owner or links, and no program can set
// it back, so the same inode with the same change time has not changed.
struct SourceState
{
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    struct timespec modified = {};
    struct timespec changed = {};

    static SourceState of(const struct stat &info)
    {
        return { std::uint64_t(info.st_ino), info.st_size > 0 ? std::uint64_t(info.st_size) : 0,
                 info.st_mtim, info.st_ctim };
    }
};

// What a copy keeps of its source, made when it was written or proven the same by its data.
struct SourceRecord
{
    SourceState source;
    // The copy's modification time as its drive kept it (coarser than the source's on some).
    struct timespec copyModified = {};
    struct timespec made = {}; // by the system clock
};

// What a source drive's change times are worth. FAT and exFAT keep none of their own; a
// file through FUSE may report its modification time as its change time.
enum class ChangeTimes { Prove, ProveWhereApart, ProveNothing };

// The worth of the change times of the file system `type` (as statfs() names it).
ChangeTimes changeTimesOf(std::uint64_t type);

enum class UpToDate {
    Proven, // leave the copy's data alone without reading it
    CompareData, // the data decides
    Copy, // the copy is not its source's: write it anew
};

struct UpToDateFacts
{
    SourceState source; // now
    std::uint64_t copySize = 0; // the copy now
    struct timespec copyModified = {};
    std::optional<SourceRecord> record; // as read from the copy
    ChangeTimes sourceTimes = ChangeTimes::Prove;
    bool rewrite = false; // the user asked for every file to be written again
};

UpToDate decideUpToDate(const UpToDateFacts &facts);

bool sameTime(const struct timespec &a, const struct timespec &b);
