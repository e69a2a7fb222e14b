#include "subfolder_scan.h"

#include "platform/path_text.h"

#include <QDateTime>

#include <algorithm>
#include <limits>
#include <numeric>

std::int64_t ageCutoffSecs(QDate today, std::int64_t days)
{
    constexpr std::int64_t earliest = std::numeric_limits<std::int64_t>::min();
    // QDate counts days in 64 bits, so the subtraction itself cannot overflow for any
    // count the days field can hold; local time is only defined from year 1 on.
    const QDate day = today.addDays(-days);
    if (!day.isValid() || day.year() < 1)
        return earliest;
    const QDateTime midnight(day, QTime(0, 0), Qt::LocalTime);
    if (!midnight.isValid())
        return earliest;
    return midnight.toSecsSinceEpoch();
}

void sortByFolderName(std::vector<SubFolder> &folders)
{
    std::vector<QString> keys;
    keys.reserve(folders.size());
    for (const SubFolder &folder : folders)
        keys.push_back(pathText(folder.name).toCaseFolded());

    std::vector<std::size_t> order(folders.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int byKey = QStringView(keys[a]).compare(keys[b]);
        if (byKey != 0)
            return byKey < 0;
        return folders[a].name.native() < folders[b].name.native();
    });

    std::vector<SubFolder> sorted;
    sorted.reserve(folders.size());
    for (std::size_t index : order)
        sorted.push_back(std::move(folders[index]));
    folders = std::move(sorted);
}

std::vector<SubFolder> scanSubFolders(FileSystemService &fileSystem,
                                      const std::filesystem::path &folder)
{
    std::vector<SubFolder> folders = fileSystem.subFolders(folder);
    sortByFolderName(folders);
    return folders;
}

std::vector<SubFolder> scanRecentSubFolders(FileSystemService &fileSystem,
                                            const std::filesystem::path &folder, std::int64_t days,
                                            QDate today)
{
    const std::int64_t cutoff = ageCutoffSecs(today, days);
    std::vector<SubFolder> folders = fileSystem.subFolders(folder);
    std::erase_if(folders,
                  [cutoff](const SubFolder &f) { return !isRecent(f.modifiedSecs, cutoff); });
    sortByFolderName(folders);
    return folders;
}
