#pragma once

#include "folder_choice/path_check.h"

#include <QString>

#include <optional>

// Folder choice (folder_choice/, core layer on Qt Core): what a picked path is, and the
// rules of the path fields.

// A folder the user picked, as the window shows it: an existing folder gets the trailing
// separator that lets a sub-folder name follow; anything else stays as picked.
struct ChosenFolder
{
    QString path;
    PathStatus status = EmptyPath;
    // Where an existing folder was when chosen, for a run to check that it is still there.
    std::optional<FolderPlace> place;
};

// Classifies the picked path. May throw the engine's Failure when the file system fails.
ChosenFolder checkChosenFolder(FileSystemService &fileSystem, const QString &picked);
