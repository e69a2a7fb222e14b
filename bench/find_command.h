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
