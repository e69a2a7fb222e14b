#include "copy_engine.h"

#include "tree_copier.h"
#include "tree_walk.h"

#include <fcntl.h>

#include <algorithm>
#include <cctype>

namespace {

// Adds up the regular files of a tree as the copy's walk meets them.
class Counting
{
public:
    struct State
    {
    };
    using Walk = TreeWalk<State>;

    Counting(Walk &walk, SystemCalls &calls, CopyMonitor &monitor)
        : m_walk(walk)
        , m_calls(calls)
        , m_monitor(monitor)
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

private:
    void enter(const std::string &name)
    {
        try {
            Walk::Level level = m_walk.openChild(name);
            m_walk.readEntries(level);
            m_walk.enter(std::move(level));
        } catch (const Failure &) {
            // Unreadable: left out.
        }
    }

    Walk &m_walk;
    SystemCalls &m_calls;
    CopyMonitor &m_monitor;
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
                       CopyMonitor &monitor)
{
    Counting::Walk walk(calls);
    Counting counting(walk, calls, monitor);
    Counting::Walk::Level top;
    try {
        top = walk.openTop(folder);
        walk.readEntries(top);
    } catch (const Failure &) {
        return {};
    }
    // A folder moved meanwhile ends the walk early: what was counted stands.
    walk.run(std::move(top), counting);
    return counting.totals;
}

CopyReport copyFolderTree(SystemCalls &calls, const std::filesystem::path &source,
                          const std::filesystem::path &destination, CopyMonitor &monitor,
                          const CaseFold &caseFold)
{
    return TreeCopier(calls, monitor, caseFold).copy(source, destination);
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

void flushFileSystem(SystemCalls &calls, const std::filesystem::path &folder)
{
    try {
        UniqueFd fd
            = calls.openPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC).orThrow(Side::Destination);
        throwIfFailed(calls.flushFileSystem(fd.get()), Side::Destination);
    } catch (Failure &failure) {
        throw failure.at(folder);
    }
}
