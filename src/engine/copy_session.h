#pragma once

#include "case_fold.h"
#include "copy_monitor.h"
#include "copy_report.h"
#include "file_status.h"
#include "system_calls.h"
#include "tree_copier.h"
#include "tree_count.h"
#include "unique_fd.h"

#include <filesystem>
#include <string>
#include <unordered_set>

// The engine (engine/, the bottom layer) walks and copies folder trees with the standard
// library and POSIX only. Every system call goes through SystemCalls, every failure is a
// Failure, and run_policy.h alone says which failures stop a whole run. What it needs from
// above (a case fold, a stop flag, progress) comes in through CaseFold and CopyMonitor.
// Nothing here includes from another folder of src/. A run goes through a CopySession: the
// count before the copy, then the copy of each sub-folder (TreeCopier, on a TreeWalk).

// Where a folder was when the user chose it: which folder, and whether it was the top of a
// mount or a folder below one. A drive unmounted since leaves another folder at the path.
struct FolderPlace
{
    FileIdentity identity;
    bool mountRoot = false;
    bool operator==(const FolderPlace &) const = default;
};

// The destination held for one run. It is opened once, where the user chose it, and every
// sub-folder is written into that open folder: if the path comes to name another folder
// (a drive unmounted meanwhile leaves the bare mount point of the disk beneath), nothing
// lands there. It tells whether the folder it holds is still the one at the chosen path,
// keeps the first copies of files with several names across the sub-folders, and flushes
// every file system the run wrote to. The methods are virtual for tests to watch them.
class CopySession
{
public:
    // Opens `destination`; a link there is followed, as the user chose it. Throws Failure
    // on the destination side.
    CopySession(SystemCalls &calls, const std::filesystem::path &destination,
                CaseFold caseFold = asciiCaseFold);
    virtual ~CopySession() = default;
    CopySession(const CopySession &) = delete;
    CopySession &operator=(const CopySession &) = delete;

    const std::filesystem::path &destination() const { return m_run.destinationPath; }

    // The count before the copy of `source` (measureTree()), which also tells whether that
    // copy would land on or inside itself: the held folder or one above it is `source` or
    // lies in its tree, or the held folder is the one that holds `source`. By identity,
    // so that neither bind mounts nor links hide it.
    virtual TreeTotals measure(const std::filesystem::path &source, CopyMonitor &monitor);

    // Makes the folder `name` of the held destination hold the tree of `source`, replacing
    // same-named files. Problems of single entries are recorded in the report and the copy
    // goes on; a failure that stops the run (run_policy.h) is thrown, as disconnected()
    // while the held folder is no longer attached.
    virtual CopyReport copyFolder(const std::filesystem::path &source, const std::string &name,
                                  CopyMonitor &monitor);

    // Throws disconnected() unless the chosen path still leads, through the same mount, to
    // the folder held.
    void checkStillAttached();

    // Whether the folder held is the one the user chose, found at `chosen` then.
    bool holds(const FolderPlace &chosen);

    // Writes every file again, also those already up to date at the destination.
    void rewriteUpToDate(bool rewrite) { m_run.rewriteUpToDate = rewrite; }

    // At most `most` files in flight at once, for a comparison: the run finds its own number.
    void mostFilesInFlight(unsigned most) { m_run.files.limitTo(most); }

    // Hashes each file's data as it is written, for checkCopies().
    void keepHashes(bool keep) { m_run.checkCopies = keep; }
    // After flushAll(): reads back every file written and compares, as the free function
    // checkCopies() says. `report` grows as it goes.
    virtual void checkCopies(CopyMonitor &monitor, CheckReport &report);
    // The bytes and files checkCopies() reads.
    std::uint64_t bytesToCheck() const;
    std::size_t copiesToCheck() const { return m_run.writtenCopies.size(); }

    // Writes out what each file system written holds in memory. Tries every one, then
    // throws the first failure (disconnected() when the folder is no longer attached).
    virtual void flushAll();

    // The failure that stops a run whose destination went away.
    Failure disconnected() const;

private:
    bool isAttached();

    SystemCalls &m_calls;
    CaseFold m_caseFold;
    UniqueFd m_folder;
    FileIdentity m_identity;
    // The held folder and every folder ".." leads to above it.
    std::unordered_set<FileIdentity> m_ancestors;
    RunMemory m_run;
};
