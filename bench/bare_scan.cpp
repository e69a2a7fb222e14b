#include "bare_scan.h"

#include "listing/subfolder_scan.h"

std::vector<SubFolder> scanRecentSubFolders(FileSystemService &fileSystem,
                                            const std::filesystem::path &folder, std::int64_t days,
                                            QDate today)
{
    const std::int64_t cutoff = ageCutoffSecs(today, days);
    std::vector<SubFolder> folders = fileSystem.subFolders(folder);
    std::vector<std::size_t> recent;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (isRecent(folders[i].modifiedSecs, cutoff))
            recent.push_back(i);
    }
    std::vector<QString> keys;
    std::vector<SubFolder> sorted;
    sorted.reserve(recent.size());
    for (std::size_t index : folderNameOrder(folders, std::move(recent), keys))
        sorted.push_back(std::move(folders[index]));
    return sorted;
}
