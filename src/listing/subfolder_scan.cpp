#include "subfolder_scan.h"

#include "platform/path_text.h"

#include <QDateTime>

#include <algorithm>
#include <limits>

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

std::vector<std::size_t> folderNameOrder(const std::vector<SubFolder> &folders,
                                         std::vector<std::size_t> which, std::vector<QString> &keys)
{
    std::vector<QString> byIndex(folders.size());
    for (std::size_t index : which)
        byIndex[index] = folderNameKey(folders[index].name);
    std::sort(which.begin(), which.end(), [&](std::size_t a, std::size_t b) {
        return folderNameBefore(byIndex[a], folders[a].name, byIndex[b], folders[b].name);
    });
    keys.clear();
    keys.reserve(which.size());
    for (std::size_t index : which)
        keys.push_back(std::move(byIndex[index]));
    return which;
}

bool folderNameBefore(QStringView key, const std::filesystem::path &name, QStringView otherKey,
                      const std::filesystem::path &other)
{
    const int byKey = key.compare(otherKey);
    return byKey != 0 ? byKey < 0 : name.native() < other.native();
}

QString folderNameKey(const std::filesystem::path &name)
{
    return pathText(name).toCaseFolded();
}
