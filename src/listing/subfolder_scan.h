#pragma once

#include "platform/file_system_service.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <vector>

// Start of the day `days` days before `today`, local time, in seconds since the epoch.
// Days beyond the range of local time (a million days reach back before year 0) give
// the earliest representable second, so every folder is newer.
std::int64_t ageCutoffSecs(QDate today, std::int64_t days);

// Whether a time in whole seconds is after `cutoff`, the listing's one rule.
inline bool isRecent(std::int64_t secs, std::int64_t cutoff)
{
    return secs > cutoff;
}

// The listing's order: by name without regard to case; names that differ only in case keep
// a stable byte order between them. Returns the indexes `which` of `folders` in that order,
// and in `keys` the folderNameKey() of each.
std::vector<std::size_t> folderNameOrder(const std::vector<SubFolder> &folders,
                                         std::vector<std::size_t> which,
                                         std::vector<QString> &keys);
// What the order compares first: the name folded to ignore case.
QString folderNameKey(const std::filesystem::path &name);
// Whether a name with its key comes before another in that order.
bool folderNameBefore(QStringView key, const std::filesystem::path &name, QStringView otherKey,
                      const std::filesystem::path &other);
