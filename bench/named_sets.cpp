#include "named_sets.h"

#include <QDateTime>

#include <iostream>

namespace {

constexpr int kSpreadDays = 120;
constexpr int kEntriesPerSubFolder = 1000;

} // namespace

std::vector<SubFolderSet> makeSubFolderSets(const std::filesystem::path &root)
{
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    std::vector<SubFolderSet> sets;
    for (int count : { 10000, 100000 }) {
        SubFolderSet set { root / ("subfolders-" + std::to_string(count)), count };
        std::cerr << "Making " << count << " sub-folders...\n";
        makeSubFolderSource(set.folder, count, kSpreadDays, now);
        sets.push_back(set);
    }
    return sets;
}

SubFolderSet makeInsideSet(const std::filesystem::path &root)
{
    SubFolderSet set { root / "subfolders-10000-with-files", 10000 };
    std::cerr << "Making 10000 sub-folders with a file each...\n";
    makeSubFolderSource(set.folder, set.count, kSpreadDays, QDateTime::currentSecsSinceEpoch(),
                        true);
    return set;
}

LookSet makeLookSet(const std::filesystem::path &root, int entries)
{
    const int subFolders = entries / kEntriesPerSubFolder;
    LookSet set { root / ("look-" + std::to_string(entries)), subFolders,
                  std::int64_t(subFolders) * kEntriesPerSubFolder };
    std::cerr << "Making " << set.entries << " entries in " << subFolders << " sub-folders...\n";
    makeLookSource(set.folder, subFolders, kEntriesPerSubFolder);
    return set;
}

CopySet makeCopySet(const std::string &title, const std::filesystem::path &folder,
                    const FileTreeShape &shape)
{
    std::cerr << "Making " << title << "...\n";
    std::filesystem::create_directories(folder.parent_path());
    makeFileTree(folder, shape);
    return { title, folder };
}

std::vector<CopySet> makeCopySets(const std::filesystem::path &root)
{
    return {
        makeCopySet(kSmallFilesTitle, root / "small-files", kSmallFiles),
        makeCopySet("(c) 4 x 256 MiB", root / "large-files", { 0, 0, 0, 0, 4, kLargeFile }),
        makeCopySet("(d) 10,000 x 4 KiB in 100 folders + 2 x 256 MiB", root / "mixed",
                    { 10, 9, 100, kSmallFile, 2, kLargeFile }),
    };
}
