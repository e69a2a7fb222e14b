#include "copy_session.h"

#include "run_policy.h"

#include <fcntl.h>

#include <optional>

namespace {

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// Deeper than any real path; only a broken file system would lead further up.
constexpr int kMostAncestors = 4096;

} // namespace

CopySession::CopySession(SystemCalls &calls, const std::filesystem::path &destination,
                         CaseFold caseFold)
    : m_calls(calls)
    , m_caseFold(std::move(caseFold))
{
    m_run.destinationPath = withoutTrailingSeparator(destination);
    try {
        m_folder = m_calls.openPath(m_run.destinationPath, kOpenFolder).orThrow(Side::Destination);
        m_identity = m_calls.status(m_folder.get()).orThrow(Side::Destination).identity();
        m_run.destination = m_folder.get();
        m_run.fileSystems.emplace(
            m_identity.device,
            WrittenFileSystem {
                m_calls.openAt(m_folder.get(), ".", kOpenFolder).orThrow(Side::Destination),
                m_run.destinationPath });
    } catch (Failure &failure) {
        throw failure.at(m_run.destinationPath);
    }
    // ".." of a mount's top leads to the folder it is mounted on, so this is the chain
    // the path names, whatever is mounted where.
    m_ancestors.insert(m_identity);
    UniqueFd above;
    int at = m_folder.get();
    for (int i = 0; i < kMostAncestors; ++i) {
        Result<UniqueFd> up = m_calls.openAt(at, "..", kOpenFolder);
        const Result<FileStatus> status = up ? m_calls.status(up->get()) : up.error();
        if (!status || !m_ancestors.insert(status->identity()).second)
            break;
        above = std::move(*up);
        at = above.get();
    }
}

TreeTotals CopySession::measure(const std::filesystem::path &source, CopyMonitor &monitor)
{
    TreeTotals totals = measureTree(m_calls, source, monitor, m_ancestors);
    const std::filesystem::path named = withoutTrailingSeparator(source);
    const std::filesystem::path parent = named.has_parent_path() ? named.parent_path() : ".";
    const Result<UniqueFd> holder = m_calls.openPath(parent, kOpenFolder);
    const Result<FileStatus> status = holder ? m_calls.status(holder->get()) : holder.error();
    if (status && status->identity() == m_identity)
        totals.intoItself = true;
    return totals;
}

CopyReport CopySession::copyFolder(const std::filesystem::path &source, const std::string &name,
                                   CopyMonitor &monitor)
{
    try {
        return TreeCopier(m_calls, monitor, m_caseFold, m_run).copy(source, name);
    } catch (const Failure &failure) {
        if (failure.side() == Side::Destination && !failure.isStop() && stopsRun(failure)
            && !isAttached())
            throw disconnected();
        throw;
    }
}

bool CopySession::isAttached()
{
    const Result<Placement> held = m_calls.placement(m_folder.get(), "");
    const Result<Placement> there = m_calls.placement(AT_FDCWD, m_run.destinationPath.c_str());
    return held && there && held->identity == there->identity && held->mount == there->mount;
}

bool CopySession::holds(const FolderPlace &chosen)
{
    const Result<Placement> held = m_calls.placement(m_folder.get(), "");
    return held && FolderPlace { held->identity, held->mountRoot } == chosen;
}

void CopySession::checkStillAttached()
{
    if (!isAttached())
        throw disconnected();
}

void CopySession::flushAll()
{
    std::optional<Failure> first;
    for (const auto &[device, fileSystem] : m_run.fileSystems) {
        const std::error_code error = m_calls.flushFileSystem(fileSystem.folder.get());
        if (error && !first)
            first = Failure(error, Side::Destination, {}, fileSystem.path);
    }
    if (first) {
        checkStillAttached();
        throw *first;
    }
}

void CopySession::checkCopies(CopyMonitor &monitor, CheckReport &report)
{
    ::checkCopies(m_calls, m_folder.get(), m_run.destinationPath, m_run.writtenCopies, monitor,
                  report);
}

std::uint64_t CopySession::bytesToCheck() const
{
    std::uint64_t bytes = 0;
    for (const WrittenCopy &copy : m_run.writtenCopies)
        bytes += copy.size;
    return bytes;
}

Failure CopySession::disconnected() const
{
    return Failure(std::errc::no_such_device, Side::Destination, "the destination was disconnected",
                   m_run.destinationPath);
}
