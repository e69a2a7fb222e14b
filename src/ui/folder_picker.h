#pragma once

#include <QString>

// The modal folder chooser. Returns the chosen folder's full native path (a root with
// its separator, any other folder without a trailing one), or an empty text when the
// user cancels or closes it.
class FolderPicker
{
public:
    virtual ~FolderPicker() = default;
    virtual QString browseForFolder(const QString &prompt) = 0;
};
