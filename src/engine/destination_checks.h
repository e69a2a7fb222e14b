#pragma once

#include "case_fold.h"
#include "file_status.h"
#include "result.h"
#include "tree_walk.h"

#include <sys/stat.h>

#include <optional>
#include <string>
#include <unordered_map>

class MetadataCopy;
class SystemCalls;

// What a copy knows of one destination folder while it fills it.
struct DestinationFolder
{
    struct stat current = {}; // its status, as last set
    // Entries this run wrote in the folder, by identity (with the source each was written
    // for) and by case-folded name: meeting one again under another spelling, for another
    // source, means the folder ignores case.
    std::unordered_map<FileIdentity, FileIdentity> written;
    std::unordered_map<std::string, std::string> writtenNames;
    std::optional<bool> ignoresCase; // found out when first needed
    // The folder hands a default access control list down to new entries.
    bool handsDownLists = false;
    // Temporary files an earlier run left behind may still be in it.
    bool mayHoldTemporaries = false;
    // Made by this run, for entries whose names cannot meet: nothing can be in the way of
    // one, and nothing there needs a look.
    bool nothingInTheWay = false;
};

// What may stand in the way of an entry at the destination: a folder to make or merge
// into, an entry of another kind, or one this run wrote under a name that differs only in
// case on a folder that ignores case. Nothing there of another kind than its source is
// ever removed, and nothing is followed through a link.
class DestinationChecks
{
public:
    DestinationChecks(SystemCalls &calls, MetadataCopy &metadata, CaseFold caseFold);

    // Opens (making it where needed) the folder `name` in `parent` as `folder` for the
    // source folder `source`; `above` is the parent's record, none for a run's top folder.
    // Throws Failure on the destination side.
    OpenFolder openFolder(int parent, const std::string &name, const FileStatus &source,
                          DestinationFolder *above, DestinationFolder &folder);
    // Notes the entry `identity` written as `name` for the source entry `source`.
    void noteWritten(DestinationFolder &folder, const std::string &name,
                     const FileIdentity &identity, const FileIdentity &source);
    // Whether `name` (whose source is `source`), found as `there` in the destination folder
    // `fd`, is an entry this run wrote under another spelling for another source. By
    // identity where the file system keeps one per file (two names of one source file are
    // one file there too), else (FUSE gives each spelling its own) by name, on a folder that
    // ignores case.
    bool clashesInCase(DestinationFolder &folder, int fd, const std::string &name,
                       const FileIdentity &there, const FileIdentity &source);
    // Throws when an entry of another kind than `kind`, or one this run wrote under
    // another name for another source, is in the way of `name` (whose source is `source`)
    // in the folder `fd`; one of the same kind may be replaced, and is what this gives back.
    std::optional<FileStatus> checkTarget(DestinationFolder &folder, int fd,
                                          const std::string &name, EntryKind kind,
                                          const Result<FileStatus> &there,
                                          const FileIdentity &source);

private:
    SystemCalls &m_calls;
    MetadataCopy &m_metadata;
    CaseFold m_caseFold;
};
