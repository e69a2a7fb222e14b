// The listing procedures of the main window: FillEm and the scan it runs, the status
// messages, the double-click on the source field and the days field's handlers.

#include "main_window/form1.h"

#include "listing/date_text.h"
#include "listing/day_count.h"
#include "listing/list_line.h"
#include "listing/subfolder_scan.h"
#include "platform/clock.h"
#include "platform/message_box_service.h"
#include "platform/path_rules.h"
#include "platform/path_text.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

void Form1::FillEm(const QString &strFolderName)
{
    Text1->setText(strFolderName);
    if (txtGoGo.toInt() != 2) {
        ListSourceFiles->clear();
        ListSourceFilesOnly.clear();
        m_services.messageBox.inform(FolderStatusText(txtGoGo));
    } else {
        PopulateFilesList(ListSourceFiles, Text1->text(), ListSourceFilesOnly);
    }
    RefreshCounts();
}

void Form1::PopulateFilesList(QListWidget *cmbList, const QString &strFolder, MirrorList &cmbMirror)
{
    // The field takes digits only, so this always has a value.
    const auto days = dayCountValue(NullToZero(daysold->text()));
    if (!days)
        return;

    std::vector<SubFolder> folders;
    try {
        folders = scanRecentSubFolders(m_services.fileSystem, textPath(strFolder), *days,
                                       m_services.clock.today());
    } catch (const FileSystemError &error) {
        // Nothing has been touched yet: the lists keep the last good listing.
        m_services.messageBox.warn(tr("The folder %1 cannot be read:\n%2")
                                       .arg(strFolder, QString::fromLocal8Bit(error.reason())));
        return;
    }

    const DateTextFormat dateFormat;
    QStringList lines;
    lines.reserve(qsizetype(folders.size()));
    cmbList->clear();
    cmbMirror.clear();
    cmbMirror.reserve(folders.size());
    for (SubFolder &folder : folders) {
        QString name = pathText(folder.name);
        QString date = dateFormat.text(folder.modifiedSecs);
        lines.append(FormatListLine(name, kListNameWidth, QString(), date, QString()));
        cmbMirror.addItem(std::move(folder.name));
    }
    cmbList->addItems(lines);
}

QString Form1::NullToZero(const QString &anyValue)
{
    return anyValue.isEmpty() ? QStringLiteral("0") : anyValue;
}

QString Form1::FolderStatusText(const QString &statusHolder) const
{
    bool isNumber = false;
    const int status = statusHolder.toInt(&isNumber);
    if (!isNumber)
        return QStringLiteral("...");
    switch (status) {
    case -1:
        return QStringLiteral("EMPTY SOURCE");
    case 0:
        return QStringLiteral("SOURCE NOT PRESENT OR IS UNAVAILABLE");
    case 1:
        return QStringLiteral("DRIVE ") + Text1->text().left(2)
            + QStringLiteral(" CONTAINS NO READABLE DISK OR MEDIA");
    default:
        return QStringLiteral("...");
    }
}

void Form1::Text1_DblClick()
{
    const QString testFolder = fixedTestFolder();
    Text1->setText(testFolder);
    FillEm(testFolder);
}

bool Form1::daysold_KeyPress(int keyAscii)
{
    return dayCountKeyPasses(keyAscii);
}

void Form1::daysold_Change()
{
    const QString text = daysold->text();
    const auto value = dayCountValue(text);
    if (!text.isEmpty() && value && *value > kMaxDayCount) {
        // Quietly, so the listing below runs once with the capped count.
        const QSignalBlocker blocker(daysold);
        daysold->setText(QStringLiteral("999999"));
    }
    if (sourceFieldHoldsPath(Text1->text()))
        FillEm(Text1->text());
}
