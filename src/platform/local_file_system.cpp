#include "local_file_system.h"

#include "engine/drive_kind.h"

#include <QString>

#include <fcntl.h>

#include <algorithm>

namespace {

// Names compared as a folder that ignores case compares them, in Unicode.
std::string unicodeCaseFold(const std::string &name)
{
    // Most names are ASCII, and a copy folds every name it writes.
    if (std::all_of(name.begin(), name.end(), [](unsigned char c) { return c < 0x80; }))
        return asciiCaseFold(name);
    return QString::fromUtf8(name.data(), qsizetype(name.size())).toCaseFolded().toStdString();
}

} // namespace

bool LocalFileSystem::folderExists(const std::filesystem::path &path)
{
    if (path.empty())
        return false;
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// One folder read and one fstatat per entry, relative to the open folder: the least work
// the kernel allows for a name, a type and a modification time. Links are not followed,
// so a link to a folder is not listed as a sub-folder.
std::vector<SubFolder> LocalFileSystem::subFolders(const std::filesystem::path &folder)
{
    std::vector<SubFolder> result;
    try {
        const UniqueFd fd
            = m_calls.openPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC).orThrow(Side::Source);
        for (const FolderEntry &entry : m_calls.readFolder(fd.get()).orThrow(Side::Source)) {
            if (entry.kind && *entry.kind != EntryKind::Folder)
                continue;
            const Result<FileStatus> status = m_calls.statusAt(fd.get(), entry.name.c_str());
            if (status && status->kind() == EntryKind::Folder) // else vanished since it was listed
                result.push_back(
                    { entry.name, std::int64_t(status->info().st_mtime), status->identity() });
        }
    } catch (Failure &failure) {
        throw failure.at(folder);
    }
    return result;
}

InsideTotals LocalFileSystem::lookInside(const std::filesystem::path &folder,
                                         const FileIdentity &identity, const std::atomic_bool &stop)
{
    return ::lookInside(m_calls, folder, identity, stop);
}

std::unique_ptr<CopySession>
LocalFileSystem::holdDestination(const std::filesystem::path &destination)
{
    return std::make_unique<CopySession>(m_calls, destination, unicodeCaseFold);
}

bool LocalFileSystem::answersAfterRoundTrips(const std::filesystem::path &folder)
{
    const Result<UniqueFd> open = m_calls.openPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!open)
        return false;
    const Result<std::uint64_t> type = m_calls.fileSystemType(open->get());
    return type && ::answersAfterRoundTrips(*type);
}

std::optional<FolderPlace> LocalFileSystem::folderPlace(const std::filesystem::path &path)
{
    const Result<Placement> placement = m_calls.placement(AT_FDCWD, path.c_str());
    if (!placement)
        return std::nullopt;
    return FolderPlace { placement->identity, placement->mountRoot };
}

std::uint64_t LocalFileSystem::freeBytes(const std::filesystem::path &folder)
{
    try {
        const UniqueFd fd = m_calls.openPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                .orThrow(Side::Destination);
        return m_calls.freeBytes(fd.get()).orThrow(Side::Destination);
    } catch (Failure &failure) {
        throw failure.at(folder);
    }
}
