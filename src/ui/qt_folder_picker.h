#pragma once

#include "folder_picker.h"

// Qt's modal folder chooser, showing folders only.
class QtFolderPicker : public FolderPicker
{
public:
    QString browseForFolder(const QString &prompt) override;
};
