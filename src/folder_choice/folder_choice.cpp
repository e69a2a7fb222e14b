#include "folder_choice.h"

#include "folder_choice/path_rules.h"

ChosenFolder checkChosenFolder(FileSystemService &fileSystem, const QString &picked)
{
    const PathStatus status = classifyPath(fileSystem, picked);
    return { status == FolderPresent ? withTrailingSeparator(picked) : picked, status };
}
