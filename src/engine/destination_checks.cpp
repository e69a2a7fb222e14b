#include "destination_checks.h"

#include "metadata_copy.h"
#include "pending_entry.h"
#include "system_calls.h"

#include <algorithm>
#include <cctype>

namespace {

const char *const caseClash = "a name that differs only in case was already copied here";

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

DestinationChecks::DestinationChecks(SystemCalls &calls, MetadataCopy &metadata, CaseFold caseFold)
    : m_calls(calls)
    , m_metadata(metadata)
    , m_caseFold(std::move(caseFold))
{ }

OpenFolder DestinationChecks::openFolder(int parent, const std::string &name,
                                         const FileStatus &source, DestinationFolder *above,
                                         DestinationFolder &folder)
{
    const mode_t sourceMode = source.info().st_mode;
    // Open to its owner until its contents are in; the copier's leave() sets the real mode.
    const std::error_code made
        = m_calls.makeFolderAt(parent, name.c_str(), (sourceMode & 0777) | S_IRWXU);
    const bool created = !made;
    if (made && made != std::errc::file_exists)
        throw Failure(made, Side::Destination);
    OpenFolder open;
    Result<UniqueFd> opened = m_calls.openAt(parent, name.c_str(), kFolderFlags);
    if (!opened) {
        const Result<FileStatus> there = m_calls.statusAt(parent, name.c_str());
        const bool notFolder = opened.error() == std::errc::not_a_directory
            || opened.error() == std::errc::too_many_symbolic_link_levels;
        if (notFolder && there)
            throw Failure(opened.error(), Side::Destination, inTheWay(there->kind()));
        throw Failure(opened.error(), Side::Destination);
    }
    open.fd = std::move(*opened);
    folder.current = m_calls.status(open.fd.get()).orThrow(Side::Destination).info();
    folder.handsDownLists = m_metadata.handsDownLists(open.fd.get());
    open.identity = FileStatus(folder.current).identity();
    folder.nothingInTheWay = created;
    if (created)
        return open;
    if (above && clashesInCase(*above, parent, name, open.identity, source.identity()))
        throw Failure(std::errc::file_exists, Side::Destination, caseClash);
    // A folder left read-only by an earlier copy is opened up while it is filled, as
    // rsync does; the copier gives it the source's mode again when it leaves it.
    const mode_t mode = folder.current.st_mode & 07777;
    if ((mode & S_IRWXU) != S_IRWXU && folder.current.st_uid == m_calls.effectiveUser()
        && !m_calls.changeMode(open.fd.get(), mode | S_IRWXU))
        folder.current.st_mode |= S_IRWXU;
    folder.mayHoldTemporaries = true;
    return open;
}

void DestinationChecks::noteWritten(DestinationFolder &folder, const std::string &name,
                                    const FileIdentity &identity, const FileIdentity &source)
{
    folder.written.try_emplace(identity, source);
    folder.writtenNames.try_emplace(m_caseFold(name), name);
}

bool DestinationChecks::clashesInCase(DestinationFolder &folder, int fd, const std::string &name,
                                      const FileIdentity &there, const FileIdentity &source)
{
    if (const auto found = folder.written.find(there); found != folder.written.end())
        return found->second != source;
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

std::optional<FileStatus> DestinationChecks::checkTarget(DestinationFolder &folder, int fd,
                                                         const std::string &name, EntryKind kind,
                                                         const Result<FileStatus> &there,
                                                         const FileIdentity &source)
{
    if (!there) {
        if (there.error() == std::errc::no_such_file_or_directory)
            return std::nullopt;
        throw Failure(there.error(), Side::Destination);
    }
    if (there->kind() != kind)
        throw Failure(std::errc::file_exists, Side::Destination, inTheWay(there->kind()));
    if (clashesInCase(folder, fd, name, there->identity(), source))
        throw Failure(std::errc::file_exists, Side::Destination, caseClash);
    return *there;
}
