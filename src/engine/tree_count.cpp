#include "tree_count.h"

#include "saturating_add.h"
#include "split_work.h"
#include "tree_walk.h"

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

    bool stopRequested() const { return m_monitor.stopAfterPause(); }
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
            totals.bytes = saturatingAdd(totals.bytes, status->size());
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
        const std::size_t files = filesFirst(entries);
        std::vector<std::uint64_t> sizes(files);
        std::vector<char> counted(files);
        m_split.run(files, [&](std::size_t i) {
            const Result<FileStatus> status
                = m_calls.statusAt(level.source.fd.get(), entries[i].name.c_str());
            counted[i] = status && status->kind() == EntryKind::File;
            sizes[i] = counted[i] ? status->size() : 0;
        });
        for (std::size_t i = 0; i < files; ++i) {
            totals.files += std::uint64_t(counted[i]);
            totals.bytes = saturatingAdd(totals.bytes, sizes[i]);
        }
        entries.erase(entries.begin(), entries.begin() + std::ptrdiff_t(files));
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

    Walk &m_walk;
    SystemCalls &m_calls;
    CopyMonitor &m_monitor;
    const std::unordered_set<FileIdentity> &m_watched;
    SplitWork m_split;
};

} // namespace

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
