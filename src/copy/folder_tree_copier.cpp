#include "folder_tree_copier.h"

#include "copy_plan.h"
#include "platform/file_system_error.h"
#include "platform/pending_entry.h"

#include <cerrno>
#include <system_error>
#include <utility>

namespace {

const char *const intoItself = "cannot be copied into itself";
const char *const specialFile = "a special file (pipe, socket or device) is not copied";

[[noreturn]] void throwIntoItself(const std::filesystem::path &path)
{
    throw FileSystemError(path, std::make_error_code(std::errc::invalid_argument), intoItself);
}

enum class Side { Source, Destination };

// The reason a FileSystemError gives; empty for the system's own text. At the destination, the
// errors that mean "an entry of another kind has this name" get a sentence that says so.
std::string reasonFor(std::error_code error, Side side)
{
    if (side == Side::Destination) {
        switch (error.value()) {
        case EISDIR:
            return "a folder of the same name is in the way";
        case ENOTDIR:
            return "a file of the same name is in the way";
        case ELOOP:
            return "a link of the same name is in the way";
        }
    }
    return {};
}

// Runs `operation`; a system error becomes a FileSystemError naming `file`.
template<typename Operation>
decltype(auto) attempt(const std::filesystem::path &file, Side side, Operation &&operation)
{
    try {
        return operation();
    } catch (const std::system_error &error) {
        throw FileSystemError(file, error.code(), reasonFor(error.code(), side));
    }
}

// As above for the entry `name` of a folder; its path is only built on failure.
template<typename Operation>
decltype(auto) attempt(const std::filesystem::path &folder, const std::string &name, Side side,
                       Operation &&operation)
{
    try {
        return operation();
    } catch (const std::system_error &error) {
        throw FileSystemError(folder / name, error.code(), reasonFor(error.code(), side));
    }
}

} // namespace

FolderTreeCopier::FolderTreeCopier(FileDataCopy &dataCopy, CopyMonitor &monitor)
    : m_dataCopy(dataCopy)
    , m_monitor(monitor)
{ }

CopyReport FolderTreeCopier::copy(const std::filesystem::path &source,
                                  const std::filesystem::path &destination)
{
    m_report = {};
    m_destinationFolders.clear();
    if (landsInsideItself(source, destination))
        throwIntoItself(source);

    const PosixFolder from
        = attempt(source, Side::Source, [&] { return PosixFolder::open(source); });
    const FileStatus fromStatus = attempt(source, Side::Source, [&] { return from.status(); });
    const bool created = attempt(destination, Side::Destination,
                                 [&] { return PosixFolder::make(destination, fromStatus); });
    const PosixFolder to
        = attempt(destination, Side::Destination, [&] { return PosixFolder::open(destination); });
    copyFolder({ from, source }, fromStatus, { to, destination }, created);
    return std::exchange(m_report, {});
}

void FolderTreeCopier::copyFolder(const Place &from, const FileStatus &fromStatus, const Place &to,
                                  bool created)
{
    const FileStatus toStatus
        = attempt(to.path, Side::Destination, [&] { return to.folder.status(); });
    m_destinationFolders.insert(toStatus.identity());
    if (m_destinationFolders.contains(fromStatus.identity()))
        throwIntoItself(from.path);

    copyContents(from, to);
    // Only now: writing the contents moved the folder's modification time. A folder
    // that was there already keeps its permissions.
    attempt(to.path, Side::Destination, [&] { to.folder.applyStatus(fromStatus, created); });
}

void FolderTreeCopier::copyContents(const Place &from, const Place &to)
{
    const auto entries = attempt(from.path, Side::Source, [&] { return from.folder.entries(); });
    for (const FolderEntry &entry : entries) {
        if (m_monitor.stopRequested())
            throw FileSystemError(from.path / entry.name,
                                  std::make_error_code(std::errc::operation_canceled));
        switch (kindOf(from, entry)) {
        case EntryKind::File:
            copyFile(from, to, entry.name);
            break;
        case EntryKind::Folder:
            copySubFolder(from, to, entry.name);
            break;
        case EntryKind::Link:
            copyLink(from, to, entry.name);
            break;
        case EntryKind::Special:
            m_report.problems.push_back({ from.path / entry.name, specialFile });
            break;
        }
    }
}

EntryKind FolderTreeCopier::kindOf(const Place &folder, const FolderEntry &entry)
{
    if (entry.kind)
        return *entry.kind;
    return attempt(folder.path, entry.name, Side::Source,
                   [&] { return folder.folder.childStatus(entry.name).kind(); });
}

void FolderTreeCopier::copySubFolder(const Place &from, const Place &to, const std::string &name)
{
    const std::filesystem::path fromPath = from.path / name;
    const std::filesystem::path toPath = to.path / name;
    const PosixFolder source
        = attempt(fromPath, Side::Source, [&] { return from.folder.openChild(name); });
    const FileStatus status = attempt(fromPath, Side::Source, [&] { return source.status(); });
    const bool created
        = attempt(toPath, Side::Destination, [&] { return to.folder.makeChild(name, status); });
    const PosixFolder destination
        = attempt(toPath, Side::Destination, [&] { return to.folder.openChild(name); });
    copyFolder({ source, fromPath }, status, { destination, toPath }, created);
}

void FolderTreeCopier::copyFile(const Place &from, const Place &to, const std::string &name)
{
    const UniqueFd input = attempt(from.path, name, Side::Source,
                                   [&] { return from.folder.openChildForReading(name); });
    const FileStatus status = attempt(from.path, name, Side::Source,
                                      [&] { return FileStatus::ofOpenFile(input.get()); });
    if (status.kind() != EntryKind::File) {
        // Replaced by something else since the folder was listed.
        m_report.problems.push_back({ from.path / name,
                                      status.kind() == EntryKind::Special
                                          ? specialFile
                                          : "changed while it was being copied" });
        return;
    }

    PendingEntry pending
        = attempt(to.path, name, Side::Destination, [&] { return PendingEntry(to.folder, name); });
    m_monitor.fileStarted(from.path / name);
    const DataCopyResult copied = m_dataCopy.copy(input.get(), pending.fd(), status.size());
    if (copied.error != 0) {
        throw FileSystemError(copied.whileWriting ? to.path / name : from.path / name,
                              std::error_code(copied.error, std::generic_category()));
    }
    m_monitor.bytesCopied(status.size());
    attempt(to.path, name, Side::Destination, [&] {
        pending.applyStatus(status);
        pending.commit();
    });
}

void FolderTreeCopier::copyLink(const Place &from, const Place &to, const std::string &name)
{
    const FileStatus status
        = attempt(from.path, name, Side::Source, [&] { return from.folder.childStatus(name); });
    const std::string target
        = attempt(from.path, name, Side::Source, [&] { return from.folder.readChildLink(name); });
    PendingEntry pending = attempt(to.path, name, Side::Destination,
                                   [&] { return PendingEntry(to.folder, name, target); });
    attempt(to.path, name, Side::Destination, [&] {
        pending.applyStatus(status);
        pending.commit();
    });
}
