#include "tree_copier.h"

#include "file_data_copy.h"
#include "pending_entry.h"
#include "run_policy.h"
#include "system_calls.h"

#include <fcntl.h>
#include <linux/magic.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>

namespace {

const char *const specialFile = "a special file (pipe, socket or device) is not copied";
const char *const changed = "changed while it was being copied";
const char *const changedSinceListed = "changed since it was listed";
const char *const caseClash = "a name that differs only in case was already copied here";
const char *const nameRefused = "the destination cannot hold this name";
const char *const linksRefused = "the destination cannot hold symbolic links";

bool sameTime(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool earlier(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// FAT reports none.
bool hasChangeTime(const FileStatus &status)
{
    return status.info().st_ctim.tv_sec != 0 || status.info().st_ctim.tv_nsec != 0;
}

// File systems that keep modification times to the nanosecond and change times of their
// own. Elsewhere (FAT, exFAT, anything through FUSE, network shares) only the data itself
// proves a file up to date.
bool provesByTimes(std::uint64_t type)
{
    switch (type) {
    case EXT4_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

// A folder's files before its folders: those looked at ahead are then copied right after
// the look, not after a sub-folder's whole tree.
void filesFirst(std::vector<FolderEntry> &entries)
{
    std::stable_partition(entries.begin(), entries.end(),
                          [](const FolderEntry &entry) { return entry.kind == EntryKind::File; });
}

const char *inTheWay(EntryKind kind)
{
    switch (kind) {
    case EntryKind::File:
        return "a file of the same name is in the way";
    case EntryKind::Folder:
        return "a folder of the same name is in the way";
    case EntryKind::Link:
        return "a link of the same name is in the way";
    case EntryKind::Special:
        break;
    }
    return "a special file of the same name is in the way";
}

} // namespace

TreeCopier::TreeCopier(SystemCalls &calls, CopyMonitor &monitor, CaseFold caseFold, RunMemory &run)
    : m_calls(calls)
    , m_monitor(monitor)
    , m_caseFold(std::move(caseFold))
    , m_metadata(calls, m_report.notKept)
    , m_run(run)
    , m_walk(calls)
{ }

CopyReport TreeCopier::copy(const std::filesystem::path &source, const std::string &name)
{
    m_report = {};
    m_destination = m_run.destinationPath / name;

    Walk::Level top;
    try {
        top = m_walk.openTop(source);
        top.state.sourcePath = m_walk.root();
        top.state.source = m_calls.status(top.source.fd.get()).orThrow(Side::Source).info();
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
        top.destination = openDestinationFolder(m_run.destination, name, nullptr, top.state);
        noteFileSystem(top.destination.fd.get(), top.state.current, m_destination);
    } catch (Failure &failure) {
        if (stopsRun(failure))
            throw failure.at(m_destination);
        m_report.problems.push_back({ m_destination, failure.reason() });
        return std::exchange(m_report, {});
    }
    if (!m_walk.run(std::move(top), *this))
        throw Failure(std::errc::no_such_file_or_directory, Side::Source,
                      "was moved while it was being copied", m_walk.sourcePathOf({}));
    return std::exchange(m_report, {});
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
    const bool atSource = failure.side() == Side::Source;
    // exFAT through FUSE answers ENOENT to a name it cannot hold; only when the folder
    // itself is gone does ENOENT mean the destination is.
    if (!atSource && failure.code() == std::errc::no_such_file_or_directory
        && destinationFolderStands())
        failure = Failure(std::errc::invalid_argument, Side::Destination, nameRefused);
    failure.at(m_walk.pathOf(atSource ? m_walk.root() : m_destination, name));
    if (stopsRun(failure))
        throw failure;
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
    // A file's look sweeps the folder on the way.
    if (kind != EntryKind::File)
        sweepTemporaries(m_walk.current());
    switch (kind) {
    case EntryKind::File:
        return copyFile(lookAt(entry.name));
    case EntryKind::Folder:
        return enterFolder(entry.name);
    case EntryKind::Link:
        return copyLink(entry.name);
    case EntryKind::Special:
        throw Failure(std::error_code(), Side::Source, specialFile);
    }
}

OpenFolder TreeCopier::openDestinationFolder(int parent, const std::string &name, State *above,
                                             State &state)
{
    // Open to its owner until its contents are in; leave() sets the real mode.
    const std::error_code made
        = m_calls.makeFolderAt(parent, name.c_str(), (state.source.st_mode & 0777) | S_IRWXU);
    const bool created = !made;
    if (made && made != std::errc::file_exists)
        throw Failure(made, Side::Destination);
    OpenFolder folder;
    Result<UniqueFd> opened = m_calls.openAt(parent, name.c_str(), kFolderFlags);
    if (!opened) {
        const Result<FileStatus> there = m_calls.statusAt(parent, name.c_str());
        const bool notFolder = opened.error() == std::errc::not_a_directory
            || opened.error() == std::errc::too_many_symbolic_link_levels;
        if (notFolder && there)
            throw Failure(opened.error(), Side::Destination, inTheWay(there->kind()));
        throw Failure(opened.error(), Side::Destination);
    }
    folder.fd = std::move(*opened);
    state.current = m_calls.status(folder.fd.get()).orThrow(Side::Destination).info();
    state.handsDownLists = m_metadata.handsDownLists(folder.fd.get());
    folder.identity = FileStatus(state.current).identity();
    if (created)
        return folder;
    if (above && clashesInCase(*above, parent, name, folder.identity))
        throw Failure(std::errc::file_exists, Side::Destination, caseClash);
    // A folder left read-only by an earlier copy is opened up while it is filled, as
    // rsync does; leave() gives it the source's mode again.
    const mode_t mode = state.current.st_mode & 07777;
    if ((mode & S_IRWXU) != S_IRWXU && state.current.st_uid == m_calls.effectiveUser()
        && !m_calls.changeMode(folder.fd.get(), mode | S_IRWXU))
        state.current.st_mode |= S_IRWXU;
    state.mayHoldTemporaries = true;
    return folder;
}

std::pair<TreeCopier::Walk::Level *, std::string> TreeCopier::nextFolder(Walk::Level &level)
{
    std::size_t i = level.next;
    while (i < level.entries.size() && level.entries[i].kind == EntryKind::File)
        ++i;
    if (i - level.next > kLookAhead)
        return {};
    Walk::Level *holder = &level;
    if (i == level.entries.size()) {
        // The walk goes on in the level above, at its next entry.
        holder = m_walk.above();
        if (!holder)
            return {};
        i = holder->next;
    }
    if (i == holder->entries.size() || holder->entries[i].kind != EntryKind::Folder
        || !holder->source.fd.isOpen())
        return {};
    return { holder, holder->entries[i].name };
}

std::optional<TreeCopier::ReadAhead> TreeCopier::readAhead(int holder,
                                                           const std::string &name) const
{
    const Result<UniqueFd> folder = m_calls.openAt(holder, name.c_str(), kFolderFlags);
    if (!folder)
        return std::nullopt;
    const Result<FileStatus> status = m_calls.status(folder->get());
    Result<std::vector<FolderEntry>> entries = m_calls.readFolder(folder->get());
    if (!status || !entries)
        return std::nullopt;
    return ReadAhead { name, status->identity(), std::move(*entries) };
}

Result<std::vector<std::string>> TreeCopier::staleTemporaries(int folder) const
{
    Result<std::vector<FolderEntry>> entries = m_calls.readFolder(folder);
    if (!entries)
        return entries.error();
    std::vector<std::string> stale;
    for (const FolderEntry &entry : *entries) {
        if (!PendingEntry::isTemporaryName(entry.name))
            continue;
        const Result<FileStatus> status = m_calls.statusAt(folder, entry.name.c_str());
        if (status && status->kind() == EntryKind::File)
            stale.push_back(entry.name);
    }
    return stale;
}

bool TreeCopier::removeTemporaries(State &state, int folder, Result<std::vector<std::string>> stale)
{
    state.mayHoldTemporaries = false;
    const std::vector<std::string> names = std::move(stale).orThrow(Side::Destination);
    for (const std::string &name : names)
        m_calls.unlinkAt(folder, name.c_str(), 0);
    return !names.empty();
}

void TreeCopier::sweepTemporaries(Walk::Level &level)
{
    if (level.state.mayHoldTemporaries)
        removeTemporaries(level.state, level.destination.fd.get(),
                          staleTemporaries(level.destination.fd.get()));
}

void TreeCopier::enterFolder(const std::string &name)
{
    Walk::Level &parent = m_walk.current();
    Walk::Level level = m_walk.openChild(name);
    level.state.sourcePath = parent.state.sourcePath / name;
    std::optional<ReadAhead> readAhead = std::exchange(m_readAhead, std::nullopt);
    level.state.source = m_calls.status(level.source.fd.get()).orThrow(Side::Source).info();
    level.destination
        = openDestinationFolder(parent.destination.fd.get(), name, &parent.state, level.state);
    noteWritten(parent.state, name, level.destination.identity);
    noteFileSystem(level.destination.fd.get(), level.state.current,
                   m_walk.pathOf(m_destination, name));
    try {
        if (readAhead && readAhead->name == name && readAhead->identity == level.source.identity)
            level.entries = std::move(readAhead->entries);
        else
            m_walk.readEntries(level);
        filesFirst(level.entries);
    } catch (const Failure &failure) {
        // The folder is there at the destination and gets its status; its contents are
        // what could not be copied.
        m_report.problems.push_back({ m_walk.sourcePathOf(name), failure.reason() });
    }
    m_walk.enter(std::move(level));
}

void TreeCopier::leave(Walk::Level &level)
{
    try {
        sweepTemporaries(level);
        m_metadata.apply(level.destination.fd.get(), level.state.current, level.source.fd.get(),
                         level.state.source, level.state.handsDownLists);
    } catch (Failure &failure) {
        noteProblem(std::move(failure), {});
    }
}

bool TreeCopier::destinationFolderStands()
{
    const Result<FileStatus> status = m_calls.status(m_walk.current().destination.fd.get());
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

void TreeCopier::noteWritten(State &folder, const std::string &name, const FileIdentity &identity)
{
    folder.written.insert(identity);
    folder.writtenNames.try_emplace(m_caseFold(name), name);
}

bool TreeCopier::clashesInCase(State &folder, int fd, const std::string &name,
                               const FileIdentity &there)
{
    if (folder.written.contains(there))
        return true;
    const auto spelled = folder.writtenNames.find(m_caseFold(name));
    if (spelled == folder.writtenNames.end() || spelled->second == name)
        return false;
    if (!folder.ignoresCase) {
        // A temporary file found again under its name in capitals.
        bool named = true;
        const PendingEntry probe = PendingEntry::file(m_calls, fd, {}, named);
        std::string capitals = probe.temporaryName();
        std::transform(capitals.begin(), capitals.end(), capitals.begin(),
                       [](unsigned char c) { return char(std::toupper(c)); });
        folder.ignoresCase = bool(m_calls.statusAt(fd, capitals.c_str()));
    }
    return *folder.ignoresCase;
}

std::optional<FileStatus> TreeCopier::checkTarget(const std::string &name, EntryKind kind,
                                                  const Result<FileStatus> &there)
{
    Walk::Level &level = m_walk.current();
    if (!there) {
        if (there.error() == std::errc::no_such_file_or_directory)
            return std::nullopt;
        throw Failure(there.error(), Side::Destination);
    }
    if (there->kind() != kind)
        throw Failure(std::errc::file_exists, Side::Destination, inTheWay(there->kind()));
    if (clashesInCase(level.state, level.destination.fd.get(), name, there->identity()))
        throw Failure(std::errc::file_exists, Side::Destination, caseClash);
    return *there;
}

bool TreeCopier::timesProveOn(std::uint64_t device)
{
    const auto [known, fresh] = m_run.timesProve.try_emplace(device, false);
    if (fresh) {
        const Result<std::uint64_t> type
            = m_calls.fileSystemType(m_walk.current().destination.fd.get());
        known->second = type && provesByTimes(*type);
    }
    // A file system that keeps times coarser than it was told proves nothing by them.
    return known->second && !m_report.notKept.contains(MetadataKind::Times);
}

TreeCopier::FileLook TreeCopier::look(const std::string &name, bool byTimes) const
{
    const Walk::Level &level = m_walk.current();
    const int folder = level.destination.fd.get(), sourceFolder = level.source.fd.get();
    FileLook look { name, m_calls.statusAt(folder, name.c_str()), FileStatus() };
    if (!byTimes || !look.target || look.target->kind() != EntryKind::File
        || look.target->info().st_dev != level.state.current.st_dev)
        return look;
    // Same data, and the source not touched since the copy was made: a change time is set
    // by the system at every change and no program can set it back.
    look.source = m_calls.statusAt(sourceFolder, name.c_str());
    const struct stat &from = look.source->info(), &to = look.target->info();
    look.sameData = look.source && look.source->kind() == EntryKind::File
        && look.source->size() == look.target->size() && sameTime(from.st_mtim, to.st_mtim)
        && hasChangeTime(*look.target) && earlier(from.st_ctim, to.st_ctim);
    // Attributes are not compared: a source whose attributes changed has a newer change
    // time, and is copied anew with them.
    look.sameMetadata = look.sameData && to.st_uid == from.st_uid && to.st_gid == from.st_gid
        && (to.st_mode & 07777) == (from.st_mode & 07777);
    return look;
}

TreeCopier::FileLook TreeCopier::lookAt(const std::string &name)
{
    Walk::Level &level = m_walk.current();
    const bool byTimes = !m_run.rewriteUpToDate && timesProveOn(level.state.current.st_dev);
    // Where one file is up to date, the files after it likely are too, in this folder and
    // the next: they are looked at ahead, on two threads, for checks are nearly all a
    // second run does.
    const bool lookedAt = !m_looks.empty() && m_looks.front().name == name;
    if (!lookedAt && byTimes && m_expectUpToDate) {
        m_looks.clear();
        lookAhead(level, name);
    }
    if (!m_looks.empty() && m_looks.front().name == name) {
        FileLook ahead = std::move(m_looks.front());
        m_looks.pop_front();
        // Looked at before files of the folder were written (on a folder that ignores case,
        // one may have taken its name): only a file found up to date is taken as found.
        m_expectUpToDate = ahead.sameData;
        if (ahead.sameData)
            return ahead;
    }
    m_looks.clear();
    sweepTemporaries(level);
    FileLook found = look(name, byTimes);
    m_expectUpToDate = found.sameData;
    if (found.sameData)
        lookAhead(level, {});
    return found;
}

void TreeCopier::lookAhead(Walk::Level &level, const std::string &first)
{
    std::vector<std::string> names;
    if (!first.empty())
        names.push_back(first);
    for (std::size_t i = level.next; i < level.entries.size()
         && level.entries[i].kind == EntryKind::File && names.size() < kLookAhead;
         ++i)
        names.push_back(level.entries[i].name);
    m_looks.resize(names.size());
    // The folder's sweep for stale temporaries, if due, and the read of the next folder go
    // first with the looks.
    const bool sweep = level.state.mayHoldTemporaries;
    Result<std::vector<std::string>> stale = std::vector<std::string>();
    const auto [holder, next] = nextFolder(level);
    const std::size_t before = (sweep ? 1 : 0) + (holder ? 1 : 0);
    const auto work = [&](std::size_t i) {
        if (i >= before)
            m_looks[i - before] = look(names[i - before], true);
        else if (sweep && i == 0)
            stale = staleTemporaries(level.destination.fd.get());
        else
            m_readAhead = readAhead(holder->source.fd.get(), next);
    };
    const std::size_t count = names.size() + before;
    if (count < kSplitFrom)
        for (std::size_t i = 0; i < count; ++i)
            work(i);
    else
        m_split.run(count, work);
    // A file found before its stale namesake was removed is looked at again.
    if (sweep && removeTemporaries(level.state, level.destination.fd.get(), std::move(stale)))
        m_looks.clear();
}

bool TreeCopier::keptByTimes(const FileLook &look)
{
    Walk::Level &level = m_walk.current();
    const FileStatus &source = *look.source, &there = *look.target;
    // Another name of a file copied before must become a link to that copy.
    const auto first = m_run.firstCopies.find(source.identity());
    if (source.info().st_nlink > 1 && first != m_run.firstCopies.end()
        && first->second.identity != there.identity())
        return false;
    if (clashesInCase(level.state, level.destination.fd.get(), look.name, there.identity()))
        return false;
    if (!look.sameMetadata) {
        const auto open = [&](int folder, Side side) {
            return m_calls
                .openAt(folder, look.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                .orThrow(side);
        };
        m_metadata.bringUpToDate(open(level.destination.fd.get(), Side::Destination).get(),
                                 there.info(), open(level.source.fd.get(), Side::Source).get(),
                                 source.info());
    }
    keep(look.name, source, there, source.size());
    return true;
}

bool TreeCopier::keepIfSameData(const std::string &name, int input, const FileStatus &source,
                                const FileStatus &there)
{
    if (there.size() != source.size())
        return false;
    m_monitor.fileStarted(sourcePathOf(name));
    const UniqueFd target = m_calls
                                .openAt(m_walk.current().destination.fd.get(), name.c_str(),
                                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                                .orThrow(Side::Destination);
    if (!sameFileData(m_calls, input, target.get(), source.size(), m_monitor))
        return false;
    m_metadata.bringUpToDate(target.get(), there.info(), input, source.info());
    // The bytes compared were told as they went.
    keep(name, source, there, 0);
    return true;
}

void TreeCopier::keep(const std::string &name, const FileStatus &source, const FileStatus &there,
                      std::uint64_t bytes)
{
    m_monitor.fileUpToDate(m_walk.current().state.sourcePath, name, bytes);
    ++m_report.upToDate;
    noteWritten(m_walk.current().state, name, there.identity());
    if (source.info().st_nlink > 1)
        m_run.firstCopies.try_emplace(
            source.identity(),
            FirstCopy { m_destination.filename() / m_walk.pathOf({}, name), there.identity() });
}

void TreeCopier::copyFile(const FileLook &look)
{
    Walk::Level &level = m_walk.current();
    const std::string &name = look.name;
    if (look.sameData && keptByTimes(look))
        return;
    const UniqueFd input = m_calls
                               .openAt(level.source.fd.get(), name.c_str(),
                                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)
                               .orThrow(Side::Source);
    const FileStatus status = m_calls.status(input.get()).orThrow(Side::Source);
    if (status.kind() != EntryKind::File)
        throw Failure(std::error_code(), Side::Source,
                      status.kind() == EntryKind::Special ? specialFile : changed);
    const std::optional<FileStatus> there = checkTarget(name, EntryKind::File, look.target);
    const bool keepUpToDate = there && !m_run.rewriteUpToDate;

    const bool severalNames = status.info().st_nlink > 1;
    if (severalNames) {
        const auto first = m_run.firstCopies.find(status.identity());
        // A later name already linked to the first copy is as up to date as that one.
        const bool linked = first != m_run.firstCopies.end() && keepUpToDate
            && there->identity() == first->second.identity;
        if (linked || (first != m_run.firstCopies.end() && linkToFirstCopy(name, first->second))) {
            // Done as far as the owner's progress is concerned, as if copied.
            if (linked) {
                m_monitor.fileUpToDate(level.state.sourcePath, name, status.size());
                ++m_report.upToDate;
            } else {
                m_monitor.fileStarted(sourcePathOf(name));
                m_monitor.bytesCopied(status.size());
            }
            return;
        }
    }
    // Where times prove nothing, the data does.
    if (keepUpToDate && (!timesProveOn(there->info().st_dev) || !hasChangeTime(*there))
        && keepIfSameData(name, input.get(), status, *there))
        return;

    PendingEntry pending
        = PendingEntry::file(m_calls, level.destination.fd.get(), name, m_unnamedRefused);
    const FileStatus created = m_calls.status(pending.fd()).orThrow(Side::Destination);
    m_monitor.fileStarted(sourcePathOf(name));
    copyFileData(m_calls, input.get(), pending.fd(), status.size(), status.mayHaveHoles(),
                 m_monitor);
    m_metadata.apply(pending.fd(), created.info(), input.get(), status.info(),
                     level.state.handsDownLists);
    pending.commit();
    noteWritten(level.state, name, created.identity());
    // A copy made because linking to the first one failed takes its place.
    if (severalNames)
        m_run.firstCopies.insert_or_assign(
            status.identity(),
            FirstCopy { m_destination.filename() / m_walk.pathOf({}, name), created.identity() });
}

bool TreeCopier::linkToFirstCopy(const std::string &name, const FirstCopy &first)
{
    const int folder = m_walk.current().destination.fd.get();
    try {
        // Down from the held destination a folder at a time: the whole path may be longer
        // than the system takes in one call (ENAMETOOLONG is no refusal of hard links), and
        // no link is followed on the way.
        UniqueFd step;
        int at = m_run.destination;
        for (const std::filesystem::path &part : first.path.parent_path()) {
            step = m_calls.openAt(at, part.c_str(), kFolderFlags).orThrow(Side::Destination);
            at = step.get();
        }
        PendingEntry pending
            = PendingEntry::hardLink(m_calls, folder, name, at, first.path.filename());
        // The first copy may have been replaced since; then this one is copied anew.
        const Result<FileStatus> linked = m_calls.statusAt(folder, pending.temporaryName().c_str());
        if (!linked || linked->identity() != first.identity)
            return false;
        pending.commit();
    } catch (const Failure &failure) {
        const std::error_code code = failure.code();
        // The first copy was removed or moved.
        if (code == std::errc::no_such_file_or_directory || code == std::errc::not_a_directory
            || code == std::errc::too_many_symbolic_link_levels)
            return false;
        if (stopsRun(failure))
            throw;
        // FAT and others hold no hard links, nor does a link reach another drive: the file
        // gets a copy of its own.
        m_report.notKept.insert(MetadataKind::HardLinks);
        return false;
    }
    noteWritten(m_walk.current().state, name, first.identity);
    return true;
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
    checkTarget(name, EntryKind::Link, m_calls.statusAt(level.destination.fd.get(), name.c_str()));

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
        noteWritten(level.state, name, written->identity());
}
