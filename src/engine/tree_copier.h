#pragma once

#include "copy_engine.h"
#include "copy_monitor.h"
#include "copy_report.h"
#include "file_status.h"
#include "metadata_copy.h"
#include "tree_walk.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

class SystemCalls;

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
    TreeCopier(SystemCalls &calls, CopyMonitor &monitor, CaseFold caseFold);

    // Makes `destination` (the folder's new path) hold the tree of `source`.
    CopyReport copy(const std::filesystem::path &source, const std::filesystem::path &destination);

    struct State
    {
        struct stat source = {}; // the source folder's status
        struct stat current = {}; // the destination folder's, as last set
        // Destination entries this run wrote in the folder, by identity and by case-folded
        // name: meeting one again under another spelling means the folder ignores case.
        std::unordered_set<FileIdentity> written;
        std::unordered_map<std::string, std::string> writtenNames;
        std::optional<bool> ignoresCase; // found out when first needed
    };
    using Walk = TreeWalk<State>;

    // The walk's visitor.
    bool stopRequested() const { return m_monitor.stopRequested(); }
    void visit(const FolderEntry &entry);
    void leave(Walk::Level &level);

private:
    // The first copy of a file with several names, to link the later names to.
    struct FirstCopy
    {
        std::string path; // relative to the destination's top folder
        FileIdentity identity;
    };

    void copyEntry(const FolderEntry &entry);
    void enterFolder(const std::string &name);
    void copyFile(const std::string &name);
    void copyLink(const std::string &name);
    bool linkToFirstCopy(const std::string &name, const FirstCopy &first);
    // Opens (making it where needed) the destination folder `name` in `parent`.
    OpenFolder openDestinationFolder(int parent, const std::string &name, State *above,
                                     State &state);
    void noteWritten(State &folder, const std::string &name, const FileIdentity &identity);
    // Whether `name`, found as `there` in the destination folder `fd`, is an entry this
    // run wrote under another spelling. By identity where the file system keeps one per
    // file, else (FUSE gives each spelling its own) by name, on a folder that ignores case.
    bool clashesInCase(State &folder, int fd, const std::string &name, const FileIdentity &there);
    // Throws when an entry of another kind than `kind`, or one this run wrote under
    // another name, is in the way of `name`; one of the same kind may be replaced.
    void checkTarget(const std::string &name, EntryKind kind);
    void removeStaleTemporaries(int folder);
    // Whether the destination folder being written to is still there (not removed).
    bool destinationFolderStands();
    // The problem an entry's failure is, or the failure rethrown when it stops the run.
    void noteProblem(Failure failure, const std::string &name);

    SystemCalls &m_calls;
    CopyMonitor &m_monitor;
    CaseFold m_caseFold;
    CopyReport m_report;
    MetadataCopy m_metadata;
    std::filesystem::path m_destination;
    Walk m_walk;
    std::unordered_map<FileIdentity, FirstCopy> m_firstCopies;
    bool m_unnamedRefused = false;
};
