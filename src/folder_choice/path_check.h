#pragma once

#include "platform/file_system_service.h"

#include <QString>

// What a chosen path turned out to be.
enum PathStatus : int {
    EmptyPath = -1,
    PathNotPresent = 0,
    FolderPresent = 2,
};

// Classifies a chosen path. May throw the engine's Failure when the file system fails.
PathStatus classifyPath(FileSystemService &fileSystem, const QString &path);
