#include "path_check.h"

#include "platform/path_text.h"

bool isExistingFolder(FileSystemService &fileSystem, const QString &path)
{
    return fileSystem.folderExists(textPath(path));
}

int driveState(FileSystemService &fileSystem, const QString &drive)
{
    if (!fileSystem.driveExists(drive))
        return 0;
    return fileSystem.driveReady(drive) ? 2 : 1;
}

PathStatus classifyPath(FileSystemService &fileSystem, const QString &path)
{
    const bool exists = isExistingFolder(fileSystem, path);
    if (!path.isEmpty() && exists)
        return FolderPresent;
    if (path.isEmpty())
        return EmptyPath;
    const bool onDriveLetter = path.mid(1, 1) == QLatin1String(":");
    const int drive = driveState(fileSystem, path.left(2));
    return onDriveLetter && drive == 1 ? DriveNotReady : PathNotPresent;
}
