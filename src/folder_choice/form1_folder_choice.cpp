// The two choose buttons of the main window and the path check behind them.

#include "main_window/form1.h"

#include "folder_choice/path_check.h"
#include "platform/folder_picker.h"
#include "platform/message_box_service.h"
#include "platform/path_rules.h"

#include <QLineEdit>

int Form1::CheckFolderPath(const QString &path, QString &holder)
{
    const PathStatus status = classifyPath(m_services.fileSystem, path);
    holder = QString::number(status);
    return status;
}

void Form1::cmdSource_Click()
{
    try {
        QString path = m_services.folderPicker.browseForFolder(tr("Choose Source Folder"));
        // The status goes to txtGoGo only with the path that Text1 will show, so that
        // it always describes the folder the listing names.
        QString status;
        if (CheckFolderPath(path, status) == FolderPresent && needsTrailingSeparator(path))
            path += pathSeparator();
        if (isSourcePath(path)) {
            txtGoGo = status;
            FillEm(path);
        } else {
            RefreshCounts();
        }
    } catch (const std::exception &error) {
        reportChoiceFailure(error);
    }
}

void Form1::cmdDest_Click()
{
    try {
        QString path = m_services.folderPicker.browseForFolder(tr("Choose Destination Folder"));
        if (CheckFolderPath(path, txtDestStatus) == FolderPresent && needsTrailingSeparator(path))
            path += pathSeparator();
        // Shown whatever it is; the copy run checks it again before it copies.
        Text2->setText(path);
    } catch (const std::exception &error) {
        reportChoiceFailure(error);
    }
}

void Form1::reportChoiceFailure(const std::exception &error)
{
    m_services.messageBox.warn(
        tr("The folder could not be chosen:\n%1").arg(QString::fromLocal8Bit(error.what())));
}
