#include "copy_engine.h"

#include "copy_session.h"
#include "split_work.h"
#include "tree_walk.h"

#include <fcntl.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// Adds up the regular files of a tree as the copy's walk meets them.
class Counting
{
public:
    struct State
    {
    };
    using Walk = TreeWalk<State>;

    Counting(Walk &walk, SystemCalls &calls, CopyMonitor &monitor,
             const std::unordered_set<FileIdentity> &watched)
        : m_walk(walk)
        , m_calls(calls)
        , m_monitor(monitor)
        , m_watched(watched)
    { }

    bool stopRequested() const { return m_monitor.stopRequested(); }
    void leave(Walk::Level &) { }
    void visit(const FolderEntry &entry)
    {
        if (entry.kind == EntryKind::Folder)
            return enter(entry.name);
        if (entry.kind && entry.kind != EntryKind::File)
            return;
        const Result<FileStatus> status
            = m_calls.statusAt(m_walk.current().source.fd.get(), entry.name.c_str());
        if (status && status->kind() == EntryKind::File) {
            ++totals.files;
            totals.bytes += status->size();
        } else if (status && status->kind() == EntryKind::Folder) {
            enter(entry.name);
        }
    }

    TreeTotals totals;

    void watch(const Walk::Level &level)
    {
        totals.intoItself = totals.intoItself || m_watched.contains(level.source.identity);
    }

    // Counts the files of a folder just read, on two threads where there are many: a count
    // is nearly all stat calls. What is left for visit() is the folder's other entries.
    void countFiles(Walk::Level &level)
    {
        std::vector<FolderEntry> &entries = level.entries;
        const auto others
            = std::stable_partition(entries.begin(), entries.end(), [](const FolderEntry &entry) {
                  return entry.kind == EntryKind::File;
              });
        const std::size_t files = std::size_t(others - entries.begin());
        std::vector<std::uint64_t> sizes(files);
        std::vector<char> counted(files);
        const auto stat = [&](std::size_t i) {
            const Result<FileStatus> status
                = m_calls.statusAt(level.source.fd.get(), entries[i].name.c_str());
            counted[i] = status && status->kind() == EntryKind::File;
            sizes[i] = counted[i] ? status->size() : 0;
        };
        if (files < kSplitFrom)
            for (std::size_t i = 0; i < files; ++i)
                stat(i);
        else
            m_split.run(files, stat);
        for (std::size_t i = 0; i < files; ++i) {
            totals.files += std::uint64_t(counted[i]);
            totals.bytes += sizes[i];
        }
        entries.erase(entries.begin(), others);
    }

private:
    void enter(const std::string &name)
    {
        try {
            Walk::Level level = m_walk.openChild(name);
            watch(level);
            m_walk.readEntries(level);
            countFiles(level);
            m_walk.enter(std::move(level));
        } catch (const Failure &) {
            // Unreadable: left out.
        }
    }

    static constexpr std::size_t kSplitFrom = 16;

    Walk &m_walk;
    SystemCalls &m_calls;
    CopyMonitor &m_monitor;
    const std::unordered_set<FileIdentity> &m_watched;
    SplitWork m_split;
};

} // namespace

std::string asciiCaseFold(const std::string &name)
{
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return folded;
}

TreeTotals measureTree(SystemCalls &calls, const std::filesystem::path &folder,
                       CopyMonitor &monitor, const std::unordered_set<FileIdentity> &watched)
{
    Counting::Walk walk(calls);
    Counting counting(walk, calls, monitor, watched);
    Counting::Walk::Level top;
    try {
        top = walk.openTop(folder);
        counting.watch(top);
        walk.readEntries(top);
        counting.countFiles(top);
    } catch (const Failure &) {
        return counting.totals;
    }
    // A folder moved meanwhile ends the walk early: what was counted stands.
    walk.run(std::move(top), counting);
    return counting.totals;
}

CopyReport copyFolderTree(SystemCalls &calls, const std::filesystem::path &source,
                          const std::filesystem::path &destination, CopyMonitor &monitor,
                          const CaseFold &caseFold)
{
    // "/dst/Photos/" names the folder Photos too.
    const std::filesystem::path named
        = destination.has_filename() ? destination : destination.parent_path();
    const std::filesystem::path into = named.parent_path();
    CopySession session(calls, into.empty() ? "." : into, caseFold);
    return session.copyFolder(source, named.filename(), monitor);
}

std::uint64_t freeBytes(SystemCalls &calls, const std::filesystem::path &folder)
{
    try {
        const UniqueFd fd
            = calls.openPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC).orThrow(Side::Destination);
        return calls.freeBytes(fd.get()).orThrow(Side::Destination);
    } catch (Failure &failure) {
        throw failure.at(folder);
    }
}
