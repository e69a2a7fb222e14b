#pragma once

#include "engine/system_calls.h"
#include "platform/file_system_service.h"

// The file system of the machine the program runs on, through the engine's system calls.
class LocalFileSystem : public FileSystemService
{
public:
    bool folderExists(const std::filesystem::path &path) override;
    std::vector<SubFolder> subFolders(const std::filesystem::path &folder) override;
    InsideTotals lookInside(const std::filesystem::path &folder, const FileIdentity &identity,
                            const std::atomic_bool &stop) override;
    CopyReport copyFolder(const std::filesystem::path &source,
                          const std::filesystem::path &destination, CopyMonitor &monitor) override;
    TreeTotals measureFolder(const std::filesystem::path &folder, CopyMonitor &monitor) override;
    std::uint64_t freeBytes(const std::filesystem::path &folder) override;
    void flush(const std::filesystem::path &folder) override;

private:
    SystemCalls m_calls;
};
