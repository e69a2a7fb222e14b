#pragma once

#include "folder_choice/path_check.h"
#include "platform/file_system_service.h"

#include <QDate>
#include <QString>

#include <vector>

// The listing (listing/, core layer on Qt Core): the scan of the source's sub-folders, the
// fixed-column line, the look inside them and the model the window's list shows.

// What listing the source folder comes to: all its sub-folders in the order the system
// gives them, of which those changed after the cutoff are shown; a status message in place
// of a listing (the folder is not there); or a warning that it cannot be read, in which case
// the last listing stays.
struct SourceListing
{
    enum class Outcome { Listed, NoFolder, Unreadable };
    Outcome outcome = Outcome::Listed;
    std::vector<SubFolder> folders;
    QString message;
    std::int64_t cutoff = 0; // seconds since the epoch, see ageCutoffSecs()
};

// Lists the source whose path status is `status` with the day count in `dayCountText`
// (digits; empty counts as 0).
SourceListing scanSourceFolder(FileSystemService &fileSystem, const QString &folderText,
                               PathStatus status, QStringView dayCountText, QDate today);

// The message shown in place of a listing for each status but FolderPresent.
QString folderStatusText(PathStatus status);
