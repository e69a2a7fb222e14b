#include "source_listing.h"

#include "folder_choice/folder_choice.h"
#include "folder_choice/path_rules.h"
#include "listing/day_count.h"
#include "listing/subfolder_scan.h"
#include "platform/clock.h"
#include "platform/path_text.h"

#include <QCoreApplication>

SourceListing::SourceListing(FileSystemService &fileSystem, const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_fileSystem(fileSystem)
    , m_clock(clock)
    , m_look(fileSystem)
{
    connect(&m_look, &SubFolderLook::looked, &m_model, &SubFolderListModel::setInside);
    connect(&m_look, &SubFolderLook::progressed, this, [this](qsizetype done, qsizetype total) {
        emit lookProgressed(lookProgressText(done, total));
    });
}

QString SourceListing::choose(const QString &picked)
{
    const ChosenFolder chosen = checkChosenFolder(m_fileSystem, picked);
    if (!isPathFieldFilled(chosen.path))
        return {};
    m_status = chosen.status;
    return chosen.path;
}

ListingNotice SourceListing::list(const QString &folderText, QStringView dayCountText)
{
    std::vector<SubFolder> folders;
    std::int64_t cutoff = 0;
    ListingNotice notice;
    if (m_status != FolderPresent) {
        notice = { ListingNotice::Kind::Status, folderStatusText(m_status) };
    } else {
        try {
            folders = m_fileSystem.subFolders(textPath(folderText));
            // The field takes digits only; anything else would list nothing at all.
            cutoff = ageCutoffSecs(m_clock.today(), dayCountValue(dayCountText).value_or(0));
        } catch (const Failure &error) {
            // Nothing has been touched: the list, and the look inside it, go on.
            return { ListingNotice::Kind::Unreadable,
                     tr("The folder %1 cannot be read:\n%2")
                         .arg(folderText, QString::fromLocal8Bit(error.reason())) };
        }
    }
    m_model.setListing(std::move(folders), cutoff);
    m_look.start(textPath(folderText), m_model.scannedFolders(), m_model.lookOrder());
    return notice;
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
