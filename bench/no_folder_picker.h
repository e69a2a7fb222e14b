#pragma once

#include "platform/folder_picker.h"

// The benchmark never opens the picker; if it did, this cancels it.
class NoFolderPicker : public FolderPicker
{
public:
    QString browseForFolder(const QString &) override { return {}; }
};
