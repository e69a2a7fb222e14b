#pragma once

#include "case_fold.h"
#include "copy_check.h"
#include "copy_monitor.h"
#include "copy_report.h"
#include "copy_walk.h"
#include "destination_checks.h"
#include "file_status.h"
#include "files_in_flight.h"
#include "first_copies.h"
#include "look_ahead.h"
#include "metadata_copy.h"
#include "shared_monitor.h"
#include "unique_fd.h"
#include "up_to_date_rule.h"

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

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
    // By source device: what its change times are worth.
    std::map<std::uint64_t, ChangeTimes> sourceTimes;
    // Destination devices that hold no record of a copy's source (no user attributes).
    std::set<std::uint64_t> holdNoRecords;
    // By destination device: how finely it keeps modification times, once seen, and
    // whether it holds access control lists.
    std::map<std::uint64_t, DestinationDrive> destinationDrives;
    // Whether the files written are read back after the flush; if so, each as written.
    bool checkCopies = false;
    std::vector<WrittenCopy> writtenCopies;
    // The files in flight, and how many the destination rewards, learnt over the whole run.
    FilesInFlight files;
};

// Copies one folder tree entry by entry, as the visitor of a TreeWalk. Folders are created
// or merged into; files are written unseen and put in place of their names once complete
// (PendingEntry); links are copied as links; hard links among the copied files stay hard
// links; each entry gets its source's owner, permissions, extended attributes and times as
// far as the destination holds them. An entry that cannot be copied is noted in the report
// and the copy goes on; a failure that stops the run is thrown. Nothing at the destination
// is followed through a link, the top folder included, and nothing there of another kind
// than its source is ever removed.
//
// Files are copied several at a time where the drive rewards it (FilesInFlight): the walk
// hands each file on and goes on to the next, into the folders below and beside (files of
// several folders in flight at once, where a share takes one name at a time per folder). A
// folder's times are set once every file in it is done, and all are done before copy()
// returns; names that differ only in case, and the names of a file with several, go one
// after the other.
// What the copies in flight share (the report, the destination folders' records, the first
// copies, the drives that hold no records) is changed under one lock.
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
    bool stopRequested();
    void visit(const FolderEntry &entry);
    void leave(Walk::Level &level);

private:
    // A file handed to the copies in flight, with all it needs of the walk's level.
    struct FileJob
    {
        FileLook look;
        int sourceFolder;
        int destinationFolder;
        std::shared_ptr<CopyLevelState> folder;
        std::filesystem::path sourcePath; // where problems and progress name it
        std::filesystem::path destinationPath;
        std::filesystem::path copyPath; // relative to the held destination
        ChangeTimes sourceTimes; // what its source drive's change times are worth
    };

    void copyEntry(const FolderEntry &entry);
    void enterFolder(const std::string &name);
    // Whether two of the level's entries fold to one name; a folder this run made then
    // needs its looks after all.
    void noteNamesMeet(Walk::Level &level) const;
    void copyFile(const FileLook &look);
    // On the walk's thread or one of the files in flight.
    void copyFileInFlight(const FileJob &job);
    void copyFileData(const FileJob &job);
    // Waits for the files in flight and finishes the folders left meanwhile; throws a
    // failure of one that stops the run.
    void waitForFiles();
    // A folder the walk has left while files in it were still in flight, with what its
    // times and status are set from once they are done.
    struct LeftFolder
    {
        UniqueFd source;
        UniqueFd destination; // the files in flight write into it
        std::shared_ptr<CopyLevelState> state;
        FileStatus sourceStatus;
        std::filesystem::path sourcePath;
        std::filesystem::path destinationPath;
    };
    void finish(LeftFolder &folder);
    // The folder's names in flight, none once the copier has waited since they were noted.
    std::unordered_set<std::string> &foldsInFlight(CopyLevelState &folder) const;
    void copyLink(const std::string &name);
    // Makes the job's file (whose source is `source`) another name of the first copy of its
    // file; false when it is copied.
    bool linkToFirstCopy(const FileJob &job, const FirstCopy &first, const FileIdentity &source);
    // Keeps a folder open on the file system of `folder` if the run has not written there yet.
    void noteFileSystem(int folder, const struct stat &status, const std::filesystem::path &path);
    std::filesystem::path sourcePathOf(const std::string &name) const
    {
        return m_walk.current().state->sourcePath / name;
    }
    // Whether the destination folder `fd` is still there (not removed).
    bool destinationFolderStands(int fd);
    // The problem an entry's failure is, or the failure rethrown when it stops the run.
    // `destinationFolder` is the folder the entry is written into.
    void noteProblem(Failure failure, const std::filesystem::path &source,
                     const std::filesystem::path &destination, int destinationFolder);
    void noteProblem(Failure failure, const std::string &name);

    // The up-to-date decision (up_to_date_rule.h): whether a file at the destination is left
    // as it is.
    //
    // What the destination's `name` is, and whether it is proven up to date (looked at only
    // when `mayProve`), by the rule the walk's folder is looked at with (m_lookRule). Only
    // reads: it may run on another thread.
    FileLook look(const std::string &name, bool mayProve) const;
    // Sets the rule the files of the walk's folder are looked at by. On the walk's thread.
    void setLookRule();
    // Leave the file `there`, the destination's `name`, as it is when it already holds what
    // its source holds, bringing only its metadata up to date; false when it must be
    // copied. Proven by the record it keeps of its source, from the two files' status and
    // the record alone (nothing is opened unless metadata differs), or by reading the source
    // `input` and the destination file, of the same size, and comparing.
    bool keptAsProven(const FileLook &look);
    bool keepIfSameData(const FileJob &job, int input, const FileStatus &source,
                        const FileStatus &there);
    // Counts the file as kept; `bytes` of it not yet told to the monitor.
    void keep(CopyLevelState &folder, const std::string &name,
              const std::filesystem::path &copyPath, const FileStatus &source,
              const FileStatus &there, std::uint64_t bytes);
    // Gives a copy left as it is what differs of its source's owner, mode, attributes and
    // times, as finely as its drive keeps times.
    void bringUpToDate(int target, const FileStatus &there, int input, const FileStatus &source);
    // Gives the job's open copy `fd` the record of its source `source` where its drive
    // holds one.
    // `copyModified`: the copy's modification time where it is known already.
    void recordSource(const FileJob &job, int fd, const FileStatus &source,
                      const std::optional<struct timespec> &copyModified = std::nullopt);

    SystemCalls &m_calls;
    RunMemory &m_run;
    SharedMonitor m_monitor;
    // What the files in flight share: m_report, m_checks' records, m_run's first copies.
    std::mutex m_shared;
    // The names of a file with several go one at a time: each later one links to the first.
    std::mutex m_severalNames;
    CopyReport m_report;
    MetadataCopy m_metadata;
    DestinationChecks m_checks;
    CaseFold m_caseFold;
    std::filesystem::path m_destination;
    Walk m_walk;
    std::atomic_bool m_unnamedRefused = false;
    // How many times the copier waited for the files in flight.
    std::uint64_t m_waits = 0;
    // Bounds the descriptors the folders left hold.
    static constexpr std::size_t kMostLeftFolders = 32;
    std::vector<LeftFolder> m_left;
    // What the files of the walk's folder are looked at by: their source drive's change
    // times, and whether their destination drive may hold records.
    struct LookRule
    {
        ChangeTimes sourceTimes = ChangeTimes::ProveNothing;
        bool readRecords = false;
    } m_lookRule;
    LookAhead m_lookAhead;
};
