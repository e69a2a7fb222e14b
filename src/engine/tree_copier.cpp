#include "tree_copier.h"

#include "file_data_copy.h"
#include "pending_entry.h"
#include "run_policy.h"
#include "source_record.h"
#include "stale_temporaries.h"
#include "system_calls.h"

#include <fcntl.h>

#include <exception>
#include <set>
#include <utility>

namespace {

const char *const specialFile = "a special file (pipe, socket or device) is not copied";
const char *const changed = "changed while it was being copied";
const char *const changedSinceListed = "changed since it was listed";
const char *const nameRefused = "the destination cannot hold this name";
const char *const linksRefused = "the destination cannot hold symbolic links";

} // namespace

TreeCopier::TreeCopier(SystemCalls &calls, CopyMonitor &monitor, CaseFold caseFold, RunMemory &run)
    : m_calls(calls)
    , m_run(run)
    , m_monitor(monitor, run.files)
    , m_metadata(calls, m_report.notKept)
    , m_checks(calls, m_metadata, caseFold)
    , m_caseFold(std::move(caseFold))
    , m_walk(calls)
    , m_lookAhead(calls, m_walk,
                  [this](const std::string &name, bool mayProve) { return look(name, mayProve); })
{ }

CopyReport TreeCopier::copy(const std::filesystem::path &source, const std::string &name)
{
    m_report = {};
    m_left.clear();
    m_destination = m_run.destinationPath / name;

    Walk::Level top;
    try {
        top = m_walk.openTop(source);
        top.state->sourcePath = m_walk.root();
        m_walk.readEntries(top);
        filesFirst(top.entries);
    } catch (const Failure &failure) {
        // Listed as a folder, now a link or a file.
        const bool replaced = failure.code() == std::errc::too_many_symbolic_link_levels
            || failure.code() == std::errc::not_a_directory;
        m_report.problems.push_back(
            { m_walk.root(), replaced ? changedSinceListed : failure.reason() });
        return std::exchange(m_report, {});
    }
    try {
        top.destination
            = m_checks.openFolder(m_run.destination, name, top.sourceStatus, nullptr, *top.state);
        noteFileSystem(top.destination.fd.get(), top.state->current, m_destination);
        noteNamesMeet(top);
    } catch (Failure &failure) {
        if (stopsRun(failure))
            throw failure.at(m_destination);
        m_report.problems.push_back({ m_destination, failure.reason() });
        return std::exchange(m_report, {});
    }
    bool walked = false;
    try {
        walked = m_walk.run(std::move(top), *this);
        waitForFiles();
    } catch (...) {
        // Nothing in flight outlives the run's folders; a file's failure that stops the
        // run is what is thrown, not the stop it made the walk take.
        const std::exception_ptr failure = m_run.files.abandon();
        m_left.clear();
        if (failure)
            std::rethrow_exception(failure);
        throw;
    }
    if (!walked)
        throw Failure(std::errc::no_such_file_or_directory, Side::Source,
                      "was moved while it was being copied", m_walk.sourcePathOf({}));
    return std::exchange(m_report, {});
}

bool TreeCopier::stopRequested()
{
    if (m_run.files.stopping())
        waitForFiles();
    return m_monitor.stopAfterPause();
}

void TreeCopier::waitForFiles()
{
    ++m_waits;
    m_run.files.wait();
    // Everything in the folders left meanwhile is done: they get their times now, deepest
    // first, as they were left.
    for (LeftFolder &folder : m_left)
        finish(folder);
    m_left.clear();
}

std::unordered_set<std::string> &TreeCopier::foldsInFlight(CopyLevelState &folder) const
{
    if (folder.foldsSince != m_waits) {
        folder.foldsInFlight.clear();
        folder.foldsSince = m_waits;
    }
    return folder.foldsInFlight;
}

void TreeCopier::visit(const FolderEntry &entry)
{
    try {
        copyEntry(entry);
    } catch (Failure &failure) {
        noteProblem(std::move(failure), entry.name);
    }
}

void TreeCopier::noteProblem(Failure failure, const std::string &name)
{
    noteProblem(std::move(failure), m_walk.pathOf(m_walk.root(), name),
                m_walk.pathOf(m_destination, name), m_walk.current().destination.fd.get());
}

void TreeCopier::noteProblem(Failure failure, const std::filesystem::path &source,
                             const std::filesystem::path &destination, int destinationFolder)
{
    const bool atSource = failure.side() == Side::Source;
    // exFAT through FUSE answers ENOENT to a name it cannot hold; only when the folder
    // itself is gone does ENOENT mean the destination is.
    if (!atSource && failure.code() == std::errc::no_such_file_or_directory
        && destinationFolderStands(destinationFolder))
        failure = Failure(std::errc::invalid_argument, Side::Destination, nameRefused);
    failure.at(atSource ? source : destination);
    if (stopsRun(failure))
        throw failure;
    const std::lock_guard lock(m_shared);
    m_report.problems.push_back({ failure.path(), failure.reason() });
}

void TreeCopier::copyEntry(const FolderEntry &entry)
{
    EntryKind kind;
    if (entry.kind)
        kind = *entry.kind;
    else
        kind = m_calls.statusAt(m_walk.current().source.fd.get(), entry.name.c_str())
                   .orThrow(Side::Source)
                   .kind();
    // A file's look sweeps the folder on the way. Other entries come after the folder's
    // files (filesFirst); a link after those in flight are done, and a sweep not while
    // a file of the folder may be unnamed yet.
    Walk::Level &level = m_walk.current();
    if (kind != EntryKind::File) {
        if (kind == EntryKind::Link || level.state->mayHoldTemporaries)
            waitForFiles();
        sweepTemporaries(m_calls, level.destination.fd.get(), level.state->mayHoldTemporaries);
    }
    switch (kind) {
    case EntryKind::File:
        setLookRule();
        return copyFile(m_lookAhead.lookAt(entry.name, !m_run.rewriteUpToDate));
    case EntryKind::Folder:
        return enterFolder(entry.name);
    case EntryKind::Link:
        return copyLink(entry.name);
    case EntryKind::Special:
        throw Failure(std::error_code(), Side::Source, specialFile);
    }
}

void TreeCopier::enterFolder(const std::string &name)
{
    // The files of the folders above may still be in flight, unless the walk would close
    // a folder they are written into (it keeps so many open), or one of them has a name
    // that folds like this one.
    Walk::Level &parent = m_walk.current();
    if (m_walk.depth() > Walk::openLevels
        || foldsInFlight(*parent.state).contains(m_caseFold(name)))
        waitForFiles();
    Walk::Level level = m_walk.openChild(name);
    level.state->sourcePath = parent.state->sourcePath / name;
    std::optional<std::vector<FolderEntry>> readAhead
        = m_lookAhead.takeFolder(name, level.source.identity);
    {
        const std::lock_guard lock(m_shared);
        level.destination
            = m_checks.openFolder(parent.destination.fd.get(), name, level.sourceStatus,
                                  parent.state.shared.get(), *level.state);
        m_checks.noteWritten(*parent.state, name, level.destination.identity,
                             level.source.identity);
    }
    // The path, long in a deep tree, only for a file system not met before.
    if (!m_run.fileSystems.contains(level.state->current.st_dev))
        noteFileSystem(level.destination.fd.get(), level.state->current,
                       m_walk.pathOf(m_destination, name));
    try {
        if (readAhead)
            level.entries = std::move(*readAhead);
        else
            m_walk.readEntries(level);
        filesFirst(level.entries);
        noteNamesMeet(level);
    } catch (const Failure &failure) {
        // The folder is there at the destination and gets its status; its contents are
        // what could not be copied.
        m_report.problems.push_back({ m_walk.sourcePathOf(name), failure.reason() });
    }
    m_walk.enter(std::move(level));
}

void TreeCopier::noteNamesMeet(Walk::Level &level) const
{
    if (!level.state->nothingInTheWay)
        return;
    // On a folder that ignores case, one name may take another's place.
    std::unordered_set<std::string> folds;
    for (const FolderEntry &entry : level.entries)
        if (!folds.insert(m_caseFold(entry.name)).second) {
            level.state->nothingInTheWay = false;
            return;
        }
}

void TreeCopier::leave(Walk::Level &level)
{
    // Its files first: writing them would change the folder's times. While some are in
    // flight the folder waits with its own descriptors, and the walk goes on.
    LeftFolder left { std::move(level.source.fd),
                      std::move(level.destination.fd),
                      level.state.shared,
                      level.sourceStatus,
                      m_walk.pathOf(m_walk.root(), {}),
                      m_walk.pathOf(m_destination, {}) };
    const bool deep = m_walk.depth() > Walk::openLevels;
    if (deep || (m_left.empty() && m_run.files.idle())) {
        waitForFiles();
        finish(left);
        // Deep in the tree the walk gets back into the folder above through this one.
        level.source.fd = std::move(left.source);
        level.destination.fd = std::move(left.destination);
        return;
    }
    m_left.push_back(std::move(left));
    if (m_left.size() >= kMostLeftFolders)
        waitForFiles();
}

void TreeCopier::finish(LeftFolder &folder)
{
    try {
        sweepTemporaries(m_calls, folder.destination.get(), folder.state->mayHoldTemporaries);
        m_metadata.apply(folder.destination.get(), folder.state->current, folder.source.get(),
                         folder.sourceStatus.info(), folder.state->handsDownLists);
    } catch (Failure &failure) {
        noteProblem(std::move(failure), folder.sourcePath, folder.destinationPath,
                    folder.destination.get());
    }
}

bool TreeCopier::destinationFolderStands(int fd)
{
    const Result<FileStatus> status = m_calls.status(fd);
    return status && status->info().st_nlink > 0;
}

void TreeCopier::noteFileSystem(int folder, const struct stat &status,
                                const std::filesystem::path &path)
{
    // A folder that is a mount point is another drive, flushed on its own at the end.
    const std::uint64_t device = status.st_dev;
    if (m_run.fileSystems.contains(device))
        return;
    UniqueFd open = m_calls.openAt(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                        .orThrow(Side::Destination);
    m_run.fileSystems.emplace(device, WrittenFileSystem { std::move(open), path });
}

void TreeCopier::copyFile(const FileLook &look)
{
    if (look.driveHoldsNoRecords) {
        const std::lock_guard lock(m_shared);
        m_run.holdNoRecords.insert(m_walk.current().state->current.st_dev);
    }
    if (look.verdict == UpToDate::Proven && keptAsProven(look))
        return;
    Walk::Level &level = m_walk.current();
    FileJob job { look,
                  level.source.fd.get(),
                  level.destination.fd.get(),
                  level.state.shared,
                  m_walk.pathOf(m_walk.root(), look.name),
                  m_walk.pathOf(m_destination, look.name),
                  m_destination.filename() / m_walk.pathOf({}, look.name),
                  m_lookRule.sourceTimes };
    // On a folder that ignores case, a name must meet the copy of its namesake done.
    if (!foldsInFlight(*level.state).insert(m_caseFold(look.name)).second) {
        waitForFiles();
        foldsInFlight(*level.state).insert(m_caseFold(look.name));
    }
    const void *folder = job.folder.get();
    m_run.files.run([this, job = std::move(job)] { copyFileInFlight(job); }, folder);
}

void TreeCopier::copyFileInFlight(const FileJob &job)
{
    try {
        copyFileData(job);
    } catch (Failure &failure) {
        noteProblem(std::move(failure), job.sourcePath, job.destinationPath, job.destinationFolder);
    }
}

void TreeCopier::copyFileData(const FileJob &job)
{
    const std::string &name = job.look.name;
    const UniqueFd input = m_calls
                               .openAt(job.sourceFolder, name.c_str(),
                                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)
                               .orThrow(Side::Source);
    const FileStatus status = m_calls.status(input.get()).orThrow(Side::Source);
    if (status.kind() != EntryKind::File)
        throw Failure(std::error_code(), Side::Source,
                      status.kind() == EntryKind::Special ? specialFile : changed);
    const std::optional<FileStatus> there = [&] {
        const std::lock_guard lock(m_shared);
        return m_checks.checkTarget(*job.folder, job.destinationFolder, name, EntryKind::File,
                                    job.look.target, status.identity());
    }();
    const bool keepUpToDate = there && !m_run.rewriteUpToDate;

    const bool severalNames = status.info().st_nlink > 1;
    std::unique_lock oneNameAtATime(m_severalNames, std::defer_lock);
    if (severalNames) {
        oneNameAtATime.lock();
        const std::optional<FirstCopy> first = [&]() -> std::optional<FirstCopy> {
            const std::lock_guard lock(m_shared);
            const FirstCopy *found = m_run.firstCopies.find(status.identity());
            return found ? std::optional(*found) : std::nullopt;
        }();
        // A later name already linked to the first copy is as up to date as that one.
        const bool linked = first && keepUpToDate && there->identity() == first->identity;
        if (linked || (first && linkToFirstCopy(job, *first, status.identity()))) {
            // Done as far as the owner's progress is concerned, as if copied.
            if (linked) {
                m_monitor.fileUpToDate(job.folder->sourcePath, name, status.size());
                const std::lock_guard lock(m_shared);
                ++m_report.upToDate;
            } else {
                m_monitor.fileStarted(job.sourcePath);
                m_monitor.bytesCopied(status.size());
            }
            return;
        }
    }
    // Where the record proves nothing, the data does; the file is started once, whether it
    // is then left as it is or copied.
    const bool compare = keepUpToDate && job.look.verdict == UpToDate::CompareData
        && there->size() == status.size();
    if (compare) {
        m_monitor.fileStarted(job.sourcePath);
        if (keepIfSameData(job, input.get(), status, *there))
            return;
    }

    bool unnamedRefused = m_unnamedRefused;
    // A copy to be checked is hashed, large ones from what they hold: see copyFileData().
    PendingEntry pending
        = PendingEntry::file(m_calls, job.destinationFolder, name, unnamedRefused, &status.info(),
                             &job.folder->current, m_run.checkCopies);
    m_unnamedRefused = unnamedRefused;
    const FileStatus created = m_calls.status(pending.fd()).orThrow(Side::Destination);
    if (!compare)
        m_monitor.fileStarted(job.sourcePath);
    std::optional<StreamHash> hash;
    if (m_run.checkCopies)
        hash.emplace();
    ::copyFileData(m_calls, input.get(), pending.fd(), status.size(), status.mayHaveHoles(),
                   m_monitor, DataCopyMethod::CopyFileRange, hash ? &*hash : nullptr);
    std::set<MetadataKind> notKept;
    MetadataCopy metadata(m_calls, notKept, m_metadata.privileged());
    metadata.apply(pending.fd(), created.info(), input.get(), status.info(),
                   job.folder->handsDownLists);
    recordSource(job, pending.fd(), status, metadata.keptModified());
    pending.commit();
    const std::lock_guard lock(m_shared);
    m_report.notKept.merge(notKept);
    m_checks.noteWritten(*job.folder, name, created.identity(), status.identity());
    if (hash)
        m_run.writtenCopies.push_back(
            { job.copyPath, created.identity(), hash->bytes(), hash->digest() });
    // A copy made because linking to the first one failed takes its place.
    if (severalNames)
        m_run.firstCopies.replace(status.identity(),
                                  FirstCopy { job.copyPath, created.identity() });
}

bool TreeCopier::linkToFirstCopy(const FileJob &job, const FirstCopy &first,
                                 const FileIdentity &source)
{
    std::set<MetadataKind> notKept;
    const bool linked = FirstCopies::linkTo(m_calls, m_run.destination, job.destinationFolder,
                                            job.look.name, first, notKept);
    const std::lock_guard lock(m_shared);
    m_report.notKept.merge(notKept);
    if (linked)
        m_checks.noteWritten(*job.folder, job.look.name, first.identity, source);
    return linked;
}

void TreeCopier::copyLink(const std::string &name)
{
    Walk::Level &level = m_walk.current();
    const FileStatus status
        = m_calls.statusAt(level.source.fd.get(), name.c_str()).orThrow(Side::Source);
    if (status.kind() != EntryKind::Link)
        throw Failure(std::error_code(), Side::Source, changed);
    const std::string target
        = m_calls.readLink(level.source.fd.get(), name.c_str()).orThrow(Side::Source);
    m_checks.checkTarget(*level.state, level.destination.fd.get(), name, EntryKind::Link,
                         m_calls.statusAt(level.destination.fd.get(), name.c_str()),
                         status.identity());

    PendingEntry pending = [&] {
        try {
            return PendingEntry::link(m_calls, level.destination.fd.get(), name, target);
        } catch (const Failure &failure) {
            const std::error_code code = failure.code();
            const bool refused = code == std::errc::operation_not_permitted
                || code == std::errc::function_not_supported
                || code == std::errc::operation_not_supported;
            if (!refused)
                throw;
            throw Failure(code, Side::Destination, linksRefused);
        }
    }();
    m_metadata.applyToLink(level.destination.fd.get(), pending.temporaryName().c_str(),
                           level.source.fd.get(), name.c_str(), status.info());
    pending.commit();
    const Result<FileStatus> written = m_calls.statusAt(level.destination.fd.get(), name.c_str());
    if (written)
        m_checks.noteWritten(*level.state, name, written->identity(), status.identity());
}
