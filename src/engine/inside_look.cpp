#include "inside_look.h"

#include "saturating_add.h"
#include "tree_walk.h"

#include <fcntl.h>

#include <algorithm>
#include <optional>

namespace {

// The look's visitor: folds every entry into the totals as the walk meets it.
class Looking
{
public:
    struct State
    {
    };
    using Walk = TreeWalk<State>;

    Looking(Walk &walk, SystemCalls &calls, const std::atomic_bool &stop)
        : m_walk(walk)
        , m_calls(calls)
        , m_stop(stop)
        , m_user(calls.effectiveUser())
    { }

    InsideTotals look(const std::filesystem::path &folder, const FileIdentity &expected)
    {
        Walk::Level top;
        try {
            top = openWithoutAccessTime([&](int noAccessTime) {
                return m_walk.openTop(folder, O_NOFOLLOW | noAccessTime);
            });
            if (top.source.identity != expected)
                return m_totals; // replaced since the listing: nothing of it is known
            note(top.sourceStatus.info().st_mtim);
            m_walk.readEntries(top);
        } catch (const Failure &) {
            return m_totals;
        }
        m_device = expected.device;
        m_totals.complete = true;
        // False when a folder moved while the walk was below it: the rest of it is not read.
        if (!m_walk.run(std::move(top), *this))
            m_totals.complete = false;
        return m_totals;
    }

    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }
    void leave(Walk::Level &) { }

    void visit(const FolderEntry &entry)
    {
        const int folder = m_walk.current().source.fd.get();
        // A folder is asked only what the system already knows, in case it is a mount point
        // of a share that does not answer; opening it tells the rest.
        const bool listedAsFolder = entry.kind == EntryKind::Folder;
        Result<EntryStatus> status
            = m_calls.entryStatusAt(folder, entry.name.c_str(), listedAsFolder);
        if (status && listedAsFolder && status->kind != EntryKind::Folder) // replaced meanwhile
            status = m_calls.entryStatusAt(folder, entry.name.c_str(), false);
        if (!status) {
            // A file that is gone since the folder was read no longer counts; anything else
            // that could not be seen might have.
            if (!entry.kind || listedAsFolder
                || status.error() != std::errc::no_such_file_or_directory)
                m_totals.complete = false;
            return;
        }
        if (status->kind == EntryKind::Folder)
            return enter(entry.name, *status);
        note(ModifiedTime { status->modifiedSecs, status->modifiedNanos });
        if (status->kind == EntryKind::File)
            m_totals.bytes = saturatingAdd(m_totals.bytes, status->size);
    }

private:
    void note(const struct timespec &time)
    {
        note(ModifiedTime { std::int64_t(time.tv_sec), std::uint32_t(time.tv_nsec) });
    }
    void note(const ModifiedTime &time) { m_totals.newest = std::max(m_totals.newest, time); }

    void enter(const std::string &name, const EntryStatus &status)
    {
        if (status.mountRoot || status.identity.device != m_device) {
            m_totals.complete = false; // another file system: none of it counts
            return;
        }
        try {
            Walk::Level level = openWithoutAccessTime(
                [&](int noAccessTime) {
                    return m_walk.openChild(name, noAccessTime, &status.identity);
                },
                status.owner);
            note(level.sourceStatus.info().st_mtim);
            m_walk.readEntries(level);
            m_walk.enter(std::move(level));
        } catch (const Failure &) {
            note(ModifiedTime { status.modifiedSecs, status.modifiedNanos });
            m_totals.complete = false;
        }
    }

    // Reading a folder sets its access time unless it was opened with O_NOATIME, which only
    // its owner (or root) may use: tried where it should work, and given up for the rest of
    // the look where it did not. A top folder's owner is not known before it is open.
    template<typename Open>
    Walk::Level openWithoutAccessTime(Open open, std::optional<uid_t> owner = std::nullopt)
    {
        if (m_noAccessTime && (!owner || *owner == m_user || m_user == 0)) {
            try {
                return open(O_NOATIME);
            } catch (const Failure &failure) {
                if (failure.code() != std::errc::operation_not_permitted)
                    throw;
                m_noAccessTime = !owner;
            }
        }
        return open(0);
    }

    Walk &m_walk;
    SystemCalls &m_calls;
    const std::atomic_bool &m_stop;
    const uid_t m_user;
    bool m_noAccessTime = true;
    std::uint64_t m_device = 0;
    InsideTotals m_totals;
};

} // namespace

InsideTotals lookInside(SystemCalls &calls, const std::filesystem::path &folder,
                        const FileIdentity &expected, const std::atomic_bool &stop)
{
    Looking::Walk walk(calls);
    return Looking(walk, calls, stop).look(folder, expected);
}
