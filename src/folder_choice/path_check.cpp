#include "path_check.h"

#include "platform/path_text.h"

PathStatus classifyPath(FileSystemService &fileSystem, const QString &path)
{
    if (path.isEmpty())
        return EmptyPath;
    return fileSystem.folderExists(textPath(path)) ? FolderPresent : PathNotPresent;
}
