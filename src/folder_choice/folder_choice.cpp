#include "folder_choice.h"

#include "platform/path_rules.h"

ChosenFolder checkChosenFolder(FileSystemService &fileSystem, QString picked)
{
    const PathStatus status = classifyPath(fileSystem, picked);
    if (status == FolderPresent && needsTrailingSeparator(picked))
        picked += pathSeparator();
    return { picked, status };
}
