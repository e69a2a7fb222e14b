#pragma once

#include "unique_fd.h"

#include <sys/stat.h>

#include <string>

class SystemCalls;

// A new file, link or hard link that is made unseen and put in place of its name only once
// complete: a file is written as an unnamed file (O_TMPFILE) where the file system allows
// it, else under a temporary name of the form ".sprigwell-XXXXXX.tmp" beside its target,
// and renamed or linked over the name at the end. So the name always holds either the old
// entry or the whole new one, and a crash leaves at most a temporary that the next copy
// into the folder removes. Unless committed, the new entry vanishes when dropped.
// Failures throw Failure on the destination side.
class PendingEntry
{
public:
    // An empty file, open for writing (and for reading where `readable`), to be a copy of
    // the source whose status is `source` in the folder whose status is `folderStatus`
    // (none: only its owner may read it yet). Unnamed, nobody can reach it before it is
    // committed, and it gets the source's permissions at once. Under a temporary name it
    // gets them at once too where the copy keeps the owner and group it is made with: the
    // half-written file then shows nobody more than the finished copy will, and a drive of
    // round trips is spared a change of mode a file. Else only its owner may read it yet.
    // `unnamedRefused` says whether this file system refused O_TMPFILE before; it is set
    // when it does now.
    static PendingEntry file(SystemCalls &calls, int folder, std::string name, bool &unnamedRefused,
                             const struct stat *source = nullptr,
                             const struct stat *folderStatus = nullptr, bool readable = false);
    // A symbolic link holding `target`.
    static PendingEntry link(SystemCalls &calls, int folder, std::string name,
                             const std::string &target);
    // A second name for the file `existing` (relative to the folder `existingFolder`).
    static PendingEntry hardLink(SystemCalls &calls, int folder, std::string name,
                                 int existingFolder, const std::string &existing);

    PendingEntry(PendingEntry &&other) noexcept;
    PendingEntry &operator=(PendingEntry &&) = delete;
    PendingEntry(const PendingEntry &) = delete;
    PendingEntry &operator=(const PendingEntry &) = delete;
    ~PendingEntry();

    // The new file's descriptor (none for a link).
    int fd() const { return m_fd.get(); }
    // The name the entry has until it is committed; empty for an unnamed file.
    const std::string &temporaryName() const { return m_temporaryName; }

    // Closes the new file and puts it in place of its name, replacing an entry already
    // there (the caller made sure that one is of the same kind).
    void commit();

    // Whether `name` has the form of our temporaries.
    static bool isTemporaryName(const std::string &name);

private:
    PendingEntry(SystemCalls &calls, int folder, std::string name)
        : m_calls(&calls)
        , m_folder(folder)
        , m_name(std::move(name))
    { }
    // Tries fresh temporary names until `create` makes one that did not exist yet.
    template<typename Create> void createUnderTemporaryName(Create &&create);

    SystemCalls *m_calls;
    int m_folder;
    std::string m_name;
    std::string m_temporaryName;
    UniqueFd m_fd;
    bool m_done = false;
};
