#include "qt_folder_picker.h"

#include <QDir>
#include <QFileDialog>

QString QtFolderPicker::browseForFolder(const QString &prompt)
{
    // No owner window: the chooser stands on its own, titled with the prompt.
    const QString chosen
        = QFileDialog::getExistingDirectory(nullptr, prompt, QString(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return {};
    // Qt gives a root with its separator and any other folder without one.
    return QDir::toNativeSeparators(chosen);
}
