#pragma once

#include "file_system_service.h"

// The file system of the machine the program runs on.
class LocalFileSystem : public FileSystemService
{
public:
    bool folderExists(const std::filesystem::path &path) override;
    bool driveExists(const QString &drive) override;
    bool driveReady(const QString &drive) override;
    std::vector<SubFolder> subFolders(const std::filesystem::path &folder) override;
    CopyReport copyFolder(const std::filesystem::path &source,
                          const std::filesystem::path &destination, CopyMonitor &monitor) override;
};
