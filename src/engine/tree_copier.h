#pragma once

#include "copy_engine.h"
#include "copy_monitor.h"
#include "copy_report.h"
#include "file_status.h"
#include "metadata_copy.h"
#include "split_work.h"
#include "tree_walk.h"
#include "unique_fd.h"

#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

class SystemCalls;

// The first copy of a file with several names, to link its later names to.
struct FirstCopy
{
    std::filesystem::path path; // relative to the held destination
    FileIdentity identity;
};

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
    std::unordered_map<FileIdentity, FirstCopy> firstCopies;
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

    struct State
    {
        struct stat source = {}; // the source folder's status
        struct stat current = {}; // the destination folder's, as last set
        // Destination entries this run wrote in the folder, by identity and by case-folded
        // name: meeting one again under another spelling means the folder ignores case.
        std::unordered_set<FileIdentity> written;
        std::unordered_map<std::string, std::string> writtenNames;
        std::optional<bool> ignoresCase; // found out when first needed
        // The destination folder hands a default access control list down to new entries.
        bool handsDownLists = false;
        std::filesystem::path sourcePath; // named to the monitor with each file
        // Temporary files an earlier run left behind may still be in the destination folder.
        bool mayHoldTemporaries = false;
    };
    using Walk = TreeWalk<State>;

    // The walk's visitor.
    bool stopRequested() const { return m_monitor.stopRequested(); }
    void visit(const FolderEntry &entry);
    void leave(Walk::Level &level);

private:
    // A file of the folder the walk is in, as found at the destination: its status there,
    // and whether its data and metadata are already its source's.
    struct FileLook
    {
        std::string name;
        Result<FileStatus> target = FileStatus();
        Result<FileStatus> source = FileStatus();
        bool sameData = false;
        bool sameMetadata = false;
    };
    // The entries of a folder read ahead of the walk, with the folder they were read from.
    struct ReadAhead
    {
        std::string name;
        FileIdentity identity;
        std::vector<FolderEntry> entries;
    };
    // Files looked at ahead in one go, and from how many two threads share them.
    static constexpr std::size_t kLookAhead = 256;
    static constexpr std::size_t kSplitFrom = 16;

    void copyEntry(const FolderEntry &entry);
    void enterFolder(const std::string &name);
    void copyFile(const FileLook &look);
    void copyLink(const std::string &name);
    bool linkToFirstCopy(const std::string &name, const FirstCopy &first);
    // Opens (making it where needed) the destination folder `name` in `parent`.
    OpenFolder openDestinationFolder(int parent, const std::string &name, State *above,
                                     State &state);
    // Keeps a folder open on the file system of `folder` if the run has not written there yet.
    void noteFileSystem(int folder, const struct stat &status, const std::filesystem::path &path);
    void noteWritten(State &folder, const std::string &name, const FileIdentity &identity);
    // Whether `name`, found as `there` in the destination folder `fd`, is an entry this
    // run wrote under another spelling. By identity where the file system keeps one per
    // file, else (FUSE gives each spelling its own) by name, on a folder that ignores case.
    bool clashesInCase(State &folder, int fd, const std::string &name, const FileIdentity &there);
    // Throws when an entry of another kind than `kind`, or one this run wrote under
    // another name, is in the way of `name`; one of the same kind may be replaced, and is
    // what this gives back.
    std::optional<FileStatus> checkTarget(const std::string &name, EntryKind kind,
                                          const Result<FileStatus> &there);
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
    // Whether the file system `device` keeps times that prove a file the same as its source
    // without reading it.
    bool timesProveOn(std::uint64_t device);
    // What the destination's `name` is, and whether times prove it up to date (looked at
    // only when `byTimes`). Only reads: it may run on another thread.
    FileLook look(const std::string &name, bool byTimes) const;
    // The look at `name`, the file the walk is at, and those after it looked at ahead.
    FileLook lookAt(const std::string &name);
    // Looks at the files after the one the walk is at (and at `first` too, when given), and
    // reads the folder the walk enters next meanwhile.
    void lookAhead(Walk::Level &level, const std::string &first);
    // The level whose folder holds the folder the walk enters after the files of `level`,
    // and that folder's name; none when that is not known yet.
    std::pair<Walk::Level *, std::string> nextFolder(Walk::Level &level);
    // The entries of the folder `name` in `holder`, read before the walk gets there. Only reads.
    std::optional<ReadAhead> readAhead(int holder, const std::string &name) const;
    // Files an earlier run left half-written in the destination folder `folder`. Only reads.
    Result<std::vector<std::string>> staleTemporaries(int folder) const;
    // Removes the `stale` files of the level's destination folder; whether there were any.
    bool removeTemporaries(State &state, int folder, Result<std::vector<std::string>> stale);
    void sweepTemporaries(Walk::Level &level);
    std::filesystem::path sourcePathOf(const std::string &name) const
    {
        return m_walk.current().state.sourcePath / name;
    }
    // Whether the destination folder being written to is still there (not removed).
    bool destinationFolderStands();
    // The problem an entry's failure is, or the failure rethrown when it stops the run.
    void noteProblem(Failure failure, const std::string &name);

    SystemCalls &m_calls;
    CopyMonitor &m_monitor;
    CaseFold m_caseFold;
    CopyReport m_report;
    MetadataCopy m_metadata;
    RunMemory &m_run;
    std::filesystem::path m_destination;
    Walk m_walk;
    bool m_unnamedRefused = false;
    std::deque<FileLook> m_looks;
    bool m_expectUpToDate = false; // the last file looked at was up to date
    std::optional<ReadAhead> m_readAhead;
    SplitWork m_split;
};
