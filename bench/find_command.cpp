#include "find_command.h"

std::vector<std::string> findRecentFoldersCommand(const std::filesystem::path &folder, int days,
                                                  QDate today)
{
    // -newermt with a bare date means later than 00:00:00 local time of that day.
    const QString cutoff = today.addDays(-days).toString(Qt::ISODate);
    return { "find", folder.string(), "-mindepth", "1",        "-maxdepth",
             "1",    "-type",         "d",         "-newermt", cutoff.toStdString() };
}

std::vector<std::string> findNewerEntriesCommand(const std::filesystem::path &folder, int days,
                                                 QDate today)
{
    return { "find", folder.string(), "-newermt",
             today.addDays(-days).toString(Qt::ISODate).toStdString() };
}
