#pragma once

#include "engine/system_calls.h"
#include "platform/file_system_service.h"

// The file system of the machine the program runs on, through the engine's system calls:
// its own, or those a test passes in to make some of them fail.
class LocalFileSystem : public FileSystemService
{
public:
    LocalFileSystem() = default;
    explicit LocalFileSystem(SystemCalls &calls)
        : m_calls(calls)
    { }
    LocalFileSystem(const LocalFileSystem &) = delete;
    LocalFileSystem &operator=(const LocalFileSystem &) = delete;

    bool folderExists(const std::filesystem::path &path) override;
    std::vector<SubFolder> subFolders(const std::filesystem::path &folder) override;
    InsideTotals lookInside(const std::filesystem::path &folder, const FileIdentity &identity,
                            const std::atomic_bool &stop) override;
    bool answersAfterRoundTrips(const std::filesystem::path &folder) override;
    std::unique_ptr<CopySession> holdDestination(const std::filesystem::path &destination) override;
    std::optional<FolderPlace> folderPlace(const std::filesystem::path &path) override;
    std::uint64_t freeBytes(const std::filesystem::path &folder) override;

private:
    SystemCalls m_ownCalls;
    SystemCalls &m_calls = m_ownCalls;
};
