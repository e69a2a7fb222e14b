#pragma once

#include "platform/file_system_service.h"

#include <QDate>

#include <cstdint>
#include <filesystem>
#include <vector>

// The scan at its barest, the yardstick the window's listing is timed against: the folder's
// sub-folders changed after the start of the day `days` days before `today`, by their own
// time, in the listing's name order, with no model, line or look.
std::vector<SubFolder> scanRecentSubFolders(FileSystemService &fileSystem,
                                            const std::filesystem::path &folder, std::int64_t days,
                                            QDate today);
