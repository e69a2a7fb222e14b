#pragma once

#include "copy_report.h"

#include <sys/stat.h>

#include <set>
#include <system_error>

class SystemCalls;

// Gives a new entry the owner, permissions, extended attributes (access control lists
// among them) and times of its source, as far as the destination holds them. What it
// cannot hold is noted, not failed: FAT answers EPERM to a chmod, for one. Only failures
// that stop the whole run (a read-only, failing or vanished disk) throw Failure.
class MetadataCopy
{
public:
    MetadataCopy(SystemCalls &calls, std::set<MetadataKind> &notKept);

    // `target` is the new file or folder, open, whose status is `current`; `source` its
    // source, open for reading, whose status is `from`. Call it after the last write.
    void apply(int target, const struct stat &current, int source, const struct stat &from);
    // The same for the symbolic link `name` in the open folder `folder`.
    void applyToLink(int folder, const char *name, const struct stat &from);

private:
    // Sets the owner; false when the owner could not be kept.
    bool applyOwner(int target, const struct stat &current, const struct stat &from);
    void applyMode(int target, const struct stat &current, mode_t mode);
    void copyAttributes(int source, int target);
    // Notes permissions or times that the file system took without keeping them.
    void noteWhatWasNotKept(int target, mode_t mode, const struct timespec &modified);
    // Notes `kind` as not kept after a call failed with `error`, or throws when the error
    // stops the run.
    void notKept(MetadataKind kind, std::error_code error);

    SystemCalls &m_calls;
    std::set<MetadataKind> &m_notKept;
    const bool m_privileged;
};
