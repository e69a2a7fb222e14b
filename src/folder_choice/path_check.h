#pragma once

#include "platform/file_system_service.h"

#include <QString>

// What a chosen path turned out to be.
enum PathStatus : int {
    EmptyPath = -1,
    PathNotPresent = 0,
    DriveNotReady = 1, // no folder there, and its drive holds no readable medium
    FolderPresent = 2,
};

// Whether a folder exists at the path.
bool isExistingFolder(FileSystemService &fileSystem, const QString &path);

// 0: no such drive; 1: the drive exists but is not ready; 2: exists and ready.
int driveState(FileSystemService &fileSystem, const QString &drive);

// Classifies a chosen path. Only a path whose second character is a colon can be on a
// drive that is not ready. May throw FileSystemError when the file system fails.
PathStatus classifyPath(FileSystemService &fileSystem, const QString &path);
