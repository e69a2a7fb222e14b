// The copier's part in the up-to-date decision: what a file at the destination is found to
// be (the rule itself is decideUpToDate()), and what leaving it as it is involves: its
// metadata brought up to date, its source recorded, and its count.
#include "tree_copier.h"

#include "file_data_copy.h"
#include "source_record.h"
#include "system_calls.h"

#include <fcntl.h>

#include <mutex>
#include <set>

void TreeCopier::setLookRule()
{
    const Walk::Level &level = m_walk.current();
    const auto [known, fresh] = m_run.sourceTimes.try_emplace(level.sourceStatus.info().st_dev,
                                                              ChangeTimes::ProveNothing);
    if (fresh) {
        const Result<std::uint64_t> type = m_calls.fileSystemType(level.source.fd.get());
        known->second = type ? changeTimesOf(*type) : ChangeTimes::ProveNothing;
    }
    const std::lock_guard lock(m_shared);
    m_lookRule = { known->second, !m_run.holdNoRecords.contains(level.state->current.st_dev) };
}

FileLook TreeCopier::look(const std::string &name, bool mayProve) const
{
    const Walk::Level &level = m_walk.current();
    // Spares a round trip per file on a share, where a look would also wait for the names
    // the files in flight take.
    if (level.state->nothingInTheWay)
        return { name, std::make_error_code(std::errc::no_such_file_or_directory), FileStatus() };
    const int folder = level.destination.fd.get(), sourceFolder = level.source.fd.get();
    FileLook look { name, m_calls.statusAt(folder, name.c_str()), FileStatus() };
    if (!mayProve || !look.target || look.target->kind() != EntryKind::File
        || look.target->info().st_dev != level.state->current.st_dev)
        return look;
    look.source = m_calls.statusAt(sourceFolder, name.c_str());
    if (!look.source || look.source->kind() != EntryKind::File)
        return look;
    const struct stat &from = look.source->info(), &to = look.target->info();
    UpToDateFacts facts { SourceState::of(from), look.target->size(), to.st_mtim, std::nullopt,
                          m_lookRule.sourceTimes };
    if (m_lookRule.readRecords)
        facts.record = readSourceRecord(m_calls, folder, name.c_str(), look.driveHoldsNoRecords);
    look.verdict = decideUpToDate(facts);
    // Attributes are not compared: a source whose attributes changed has another change
    // time, and its data is compared.
    look.sameMetadata = to.st_uid == from.st_uid && to.st_gid == from.st_gid
        && (to.st_mode & 07777) == (from.st_mode & 07777);
    return look;
}

bool TreeCopier::keptAsProven(const FileLook &look)
{
    Walk::Level &level = m_walk.current();
    const FileStatus &source = *look.source, &there = *look.target;
    {
        const std::lock_guard lock(m_shared);
        // Another name of a file copied before must become a link to that copy.
        const FirstCopy *first = m_run.firstCopies.find(source.identity());
        if (source.info().st_nlink > 1 && first && first->identity != there.identity())
            return false;
        if (m_checks.clashesInCase(*level.state, level.destination.fd.get(), look.name,
                                   there.identity(), source.identity()))
            return false;
    }
    if (!look.sameMetadata) {
        const auto open = [&](int folder, Side side) {
            return m_calls
                .openAt(folder, look.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                .orThrow(side);
        };
        bringUpToDate(open(level.destination.fd.get(), Side::Destination).get(), there,
                      open(level.source.fd.get(), Side::Source).get(), source);
    }
    keep(*level.state, look.name, m_destination.filename() / m_walk.pathOf({}, look.name), source,
         there, source.size());
    return true;
}

bool TreeCopier::keepIfSameData(const FileJob &job, int input, const FileStatus &source,
                                const FileStatus &there)
{
    const UniqueFd target = m_calls
                                .openAt(job.destinationFolder, job.look.name.c_str(),
                                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                                .orThrow(Side::Destination);
    if (!sameFileData(m_calls, input, target.get(), source.size(), m_monitor))
        return false;
    bringUpToDate(target.get(), there, input, source);
    recordSource(job, target.get(), source);
    // The bytes compared were told as they went.
    keep(*job.folder, job.look.name, job.copyPath, source, there, 0);
    return true;
}

void TreeCopier::bringUpToDate(int target, const FileStatus &there, int input,
                               const FileStatus &source)
{
    const std::uint64_t device = there.info().st_dev;
    DestinationDrive drive;
    {
        const std::lock_guard lock(m_shared);
        if (const auto known = m_run.destinationDrives.find(device);
            known != m_run.destinationDrives.end())
            drive = known->second;
    }
    std::set<MetadataKind> notKept;
    MetadataCopy(m_calls, notKept, m_metadata.privileged())
        .bringUpToDate(target, there.info(), input, source.info(), drive);
    const std::lock_guard lock(m_shared);
    m_report.notKept.merge(notKept);
    // Files in flight learn at once: what one learnt first stays.
    DestinationDrive &known = m_run.destinationDrives[device];
    if (known.step == 0)
        known.step = drive.step;
    known.holdsLists = known.holdsLists && drive.holdsLists;
}

void TreeCopier::keep(CopyLevelState &folder, const std::string &name,
                      const std::filesystem::path &copyPath, const FileStatus &source,
                      const FileStatus &there, std::uint64_t bytes)
{
    m_monitor.fileUpToDate(folder.sourcePath, name, bytes);
    const std::lock_guard lock(m_shared);
    ++m_report.upToDate;
    m_checks.noteWritten(folder, name, there.identity(), source.identity());
    if (source.info().st_nlink > 1)
        m_run.firstCopies.note(source.identity(), FirstCopy { copyPath, there.identity() });
}

void TreeCopier::recordSource(const FileJob &job, int fd, const FileStatus &source,
                              const std::optional<struct timespec> &copyModified)
{
    const std::uint64_t device = job.folder->current.st_dev;
    {
        const std::lock_guard lock(m_shared);
        // A source whose change times prove nothing is compared by its data anyway.
        if (m_run.holdNoRecords.contains(device) || job.sourceTimes == ChangeTimes::ProveNothing)
            return;
    }
    // As the copy's drive keeps its times, which may be coarser than the source's.
    struct timespec modified = {};
    if (copyModified) {
        modified = *copyModified;
    } else {
        const Result<FileStatus> copy = m_calls.status(fd);
        if (!copy)
            return;
        modified = copy->info().st_mtim;
    }
    const SourceRecord record { SourceState::of(source.info()), modified, m_calls.now() };
    // Refused for this file alone (a copy its owner may not change), or by a drive without
    // user attributes, which is not asked again.
    if (writeSourceRecord(m_calls, fd, record) == std::errc::operation_not_supported) {
        const std::lock_guard lock(m_shared);
        m_run.holdNoRecords.insert(device);
    }
}
