#include "folder_choice.h"

#include "folder_choice/path_rules.h"
#include "platform/path_text.h"

ChosenFolder checkChosenFolder(FileSystemService &fileSystem, const QString &picked)
{
    const PathStatus status = classifyPath(fileSystem, picked);
    if (status != FolderPresent)
        return { picked, status, std::nullopt };
    return { withTrailingSeparator(picked), status, fileSystem.folderPlace(textPath(picked)) };
}
