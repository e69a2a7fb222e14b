#include "source_listing.h"

#include "listing/day_count.h"
#include "listing/subfolder_scan.h"
#include "platform/path_text.h"

#include <QCoreApplication>

SourceListing scanSourceFolder(FileSystemService &fileSystem, const QString &folderText,
                               PathStatus status, QStringView dayCountText, QDate today)
{
    if (status != FolderPresent)
        return { SourceListing::Outcome::NoFolder, {}, folderStatusText(status) };
    try {
        // The field takes digits only; anything else would list nothing at all.
        const std::int64_t days = dayCountValue(dayCountText).value_or(0);
        return { SourceListing::Outcome::Listed,
                 fileSystem.subFolders(textPath(folderText)),
                 {},
                 ageCutoffSecs(today, days) };
    } catch (const Failure &error) {
        return { SourceListing::Outcome::Unreadable,
                 {},
                 QCoreApplication::translate("SourceListing", "The folder %1 cannot be read:\n%2")
                     .arg(folderText, QString::fromLocal8Bit(error.reason())) };
    }
}

QString folderStatusText(PathStatus status)
{
    switch (status) {
    case EmptyPath:
        return QStringLiteral("EMPTY SOURCE");
    case PathNotPresent:
        return QStringLiteral("SOURCE NOT PRESENT OR IS UNAVAILABLE");
    case FolderPresent:
        break;
    }
    return QStringLiteral("...");
}
