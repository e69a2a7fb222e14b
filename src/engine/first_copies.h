#pragma once

#include "copy_report.h"
#include "file_status.h"

#include <filesystem>
#include <set>
#include <string>
#include <unordered_map>

class SystemCalls;

// The first copy of a file with several names, to link its later names to.
struct FirstCopy
{
    std::filesystem::path path; // relative to the held destination
    FileIdentity identity;
};

// The first copies of files with several names a run made, by their source's identity:
// kept over all the sub-folders of a run, so that hard links between them stay hard links
// as with `cp -a A B dst`.
class FirstCopies
{
public:
    // The first copy of the source file `source`, if there is one.
    const FirstCopy *find(const FileIdentity &source) const;
    // Notes `copy` as the first copy of `source`, unless one is noted already.
    void note(const FileIdentity &source, FirstCopy copy);
    // Notes `copy` as the first copy of `source` in place of any noted before.
    void replace(const FileIdentity &source, FirstCopy copy);

    // Makes `name` in the destination folder `folder` another name of `first`, reached
    // from the held destination `destination`. False when it is to be copied instead: the
    // first copy was removed, moved or replaced, or the destination holds no hard links
    // (noted in `notKept`). Throws a Failure that stops the run.
    static bool linkTo(SystemCalls &calls, int destination, int folder, const std::string &name,
                       const FirstCopy &first, std::set<MetadataKind> &notKept);

private:
    std::unordered_map<FileIdentity, FirstCopy> m_copies;
};
