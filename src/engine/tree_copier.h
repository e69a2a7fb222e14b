#pragma once

#include "case_fold.h"
#include "copy_monitor.h"
#include "copy_report.h"
#include "copy_walk.h"
#include "destination_checks.h"
#include "file_status.h"
#include "first_copies.h"
#include "look_ahead.h"
#include "metadata_copy.h"
#include "unique_fd.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

class SystemCalls;

// A file system the run wrote to: an open folder on it, and that folder's path.
struct WrittenFileSystem
{
    UniqueFd folder;
    std::filesystem::path path;
};

// What the copies of the sub-folders of one run share (CopySession holds it): the held
// destination folder they are written into, the first copies of files with several names,
// so that hard links between sub-folders stay hard links as with `cp -a A B dst`, and the
// file systems written, by device.
struct RunMemory
{
    int destination = -1;
    std::filesystem::path destinationPath;
    FirstCopies firstCopies;
    std::map<std::uint64_t, WrittenFileSystem> fileSystems;
    // Whether a file already up to date is written again all the same.
    bool rewriteUpToDate = false;
    // By device: whether the file system keeps modification times to the nanosecond and
    // change times no program can set, so that they prove a file up to date.
    std::map<std::uint64_t, bool> timesProve;
};

// Copies one folder tree entry by entry, as the visitor of a TreeWalk. Folders are created
// or merged into; files are written unseen and put in place of their names once complete
// (PendingEntry); links are copied as links; hard links among the copied files stay hard
// links; each entry gets its source's owner, permissions, extended attributes and times as
// far as the destination holds them. An entry that cannot be copied is noted in the report
// and the copy goes on; a failure that stops the run is thrown. Nothing at the destination
// is followed through a link, the top folder included, and nothing there of another kind
// than its source is ever removed.
class TreeCopier
{
public:
    TreeCopier(SystemCalls &calls, CopyMonitor &monitor, CaseFold caseFold, RunMemory &run);

    // Makes the folder `name` of the run's destination hold the tree of `source`. A source
    // that cannot be read, has vanished or is no longer a folder is a problem in the report.
    CopyReport copy(const std::filesystem::path &source, const std::string &name);

    using State = CopyLevelState;
    using Walk = CopyWalk;

    // The walk's visitor.
    bool stopRequested() const { return m_monitor.stopRequested(); }
    void visit(const FolderEntry &entry);
    void leave(Walk::Level &level);

private:
    void copyEntry(const FolderEntry &entry);
    void enterFolder(const std::string &name);
    void copyFile(const FileLook &look);
    void copyLink(const std::string &name);
    // Makes `name` another name of the first copy of its file; false when it is copied.
    bool linkToFirstCopy(const std::string &name, const FirstCopy &first);
    // Keeps a folder open on the file system of `folder` if the run has not written there yet.
    void noteFileSystem(int folder, const struct stat &status, const std::filesystem::path &path);
    std::filesystem::path sourcePathOf(const std::string &name) const
    {
        return m_walk.current().state.sourcePath / name;
    }
    // Whether the destination folder being written to is still there (not removed).
    bool destinationFolderStands();
    // The problem an entry's failure is, or the failure rethrown when it stops the run.
    void noteProblem(Failure failure, const std::string &name);

    // The up-to-date decision: whether a file at the destination is left as it is.
    //
    // What the destination's `name` is, and whether times prove it up to date (looked at
    // only when `byTimes`). Only reads: it may run on another thread.
    FileLook look(const std::string &name, bool byTimes) const;
    // Whether the file system `device` keeps times that prove a file the same as its source
    // without reading it.
    bool timesProveOn(std::uint64_t device);
    // Leave the file `there`, the destination's `name`, as it is when it already holds what
    // its source holds, bringing only its metadata up to date; false when it must be
    // copied. By times, from the two files' status alone (nothing is opened unless metadata
    // differs), or by reading the source `input` and the destination file and comparing.
    bool keptByTimes(const FileLook &look);
    bool keepIfSameData(const std::string &name, int input, const FileStatus &source,
                        const FileStatus &there);
    // Counts `name` as kept; `bytes` of it not yet told to the monitor.
    void keep(const std::string &name, const FileStatus &source, const FileStatus &there,
              std::uint64_t bytes);

    SystemCalls &m_calls;
    CopyMonitor &m_monitor;
    CopyReport m_report;
    MetadataCopy m_metadata;
    DestinationChecks m_checks;
    RunMemory &m_run;
    std::filesystem::path m_destination;
    Walk m_walk;
    bool m_unnamedRefused = false;
    LookAhead m_lookAhead;
};
