#pragma once

#include <QDate>

#include <filesystem>
#include <string>
#include <vector>

// The find command that lists what the scan lists: the folder's immediate sub-folders
// modified after 00:00:00 local time of the day `days` days before `today`, one path a
// line.
std::vector<std::string> findRecentFoldersCommand(const std::filesystem::path &folder, int days,
                                                  QDate today);

// The find command that looks at every entry below the folder as the look inside does:
// one fstatat each, printing those modified after that same cut-off.
std::vector<std::string> findNewerEntriesCommand(const std::filesystem::path &folder, int days,
                                                 QDate today);
