#pragma once

#include "copy_report.h"

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <set>
#include <system_error>

class SystemCalls;

// How finely a drive keeps modification times, in nanoseconds: 1 where exactly, 10 ms on
// exFAT, a second over SFTP; 0 while not yet seen.
using TimeStep = std::int64_t;
// The step of the times kept when `given` was set and `kept` came back: the finest that
// explains the difference, 1 where none does.
TimeStep timeStepOf(const struct timespec &given, const struct timespec &kept);

// What a run learns of a destination drive from the files it leaves as they are, so that
// the next file pays no call to learn it again.
struct DestinationDrive
{
    TimeStep step = 0;
    bool holdsLists = true; // false once it said it holds no access control lists
};

// Gives a new entry the owner, permissions, extended attributes (access control lists
// among them) and times of its source, as far as the destination holds them. What it
// cannot hold is noted, not failed: FAT answers EPERM to a chmod, for one. Only failures
// that stop the whole run (a read-only, failing or vanished disk) throw Failure.
class MetadataCopy
{
public:
    MetadataCopy(SystemCalls &calls, std::set<MetadataKind> &notKept);
    // For one more entry of a run that knows already whether it runs as root (a system call
    // a file spared).
    MetadataCopy(SystemCalls &calls, std::set<MetadataKind> &notKept, bool privileged);
    bool privileged() const { return m_privileged; }

    // `target` is the new file or folder, open, whose status is `current`; `source` its
    // source, open for reading, whose status is `from`. Call it after the last write.
    // `listsHandedDown`: the target may carry access control lists it got from a default
    // list of its folder (or of its own, for a folder); it keeps only its source's.
    void apply(int target, const struct stat &current, int source, const struct stat &from,
               bool listsHandedDown = false);
    // The same for a file left as it is because its data is already its source's: only
    // what differs is set, so that a file that is the same in all costs no change. A copy's
    // time differs only where the drive's step does not explain it; the first time set
    // teaches the step of a drive not yet seen. A drive that holds no access control lists
    // has none to take away. `drive` learns both.
    void bringUpToDate(int target, const struct stat &current, int source, const struct stat &from,
                       DestinationDrive &drive);
    // The same for the symbolic link `name` in the open folder `folder`, whose source is
    // the link `sourceName` in the open folder `sourceFolder`.
    void applyToLink(int folder, const char *name, int sourceFolder, const char *sourceName,
                     const struct stat &from);
    // Whether the open folder hands a default access control list down to new entries.
    // Asked once per folder: a folder without one costs its entries nothing.
    bool handsDownLists(int folder);
    // The modification time the target was found to keep after apply(), where it looked.
    const std::optional<struct timespec> &keptModified() const { return m_keptModified; }

private:
    // The access control lists a source had.
    struct SourceLists
    {
        bool access = false;
        bool folderDefault = false;
    };

    // Sets the owner, then the mode it allows; gives that mode.
    mode_t applyOwnerAndMode(int target, const struct stat &current, const struct stat &from);
    // Sets the owner; false when the owner could not be kept.
    bool applyOwner(int target, const struct stat &current, const struct stat &from);
    void applyMode(int target, const struct stat &current, mode_t mode);
    // Copies each attribute that `names` lists, read by `value`, with `set`; never the record
    // of a source (source_record.h), which is each copy's own.
    template<typename Names, typename Value, typename Set>
    SourceLists copyAttributes(Names &&names, Value &&value, Set &&set);
    // Removes the lists handed down to `target` that its source did not have, as cp -a does:
    // the mode then says all there is. False where the drive holds no lists.
    bool removeListsHandedDown(int target, SourceLists had, bool folder);
    // Notes permissions or times that the file system took without keeping them.
    void noteWhatWasNotKept(int target, mode_t mode, const struct timespec &modified);
    // Notes `kind` as not kept after a call failed with `error`, or throws when the error
    // stops the run.
    void notKept(MetadataKind kind, std::error_code error);

    SystemCalls &m_calls;
    std::set<MetadataKind> &m_notKept;
    const bool m_privileged;
    std::optional<struct timespec> m_keptModified;
};
