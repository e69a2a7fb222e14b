#pragma once

#include "platform/copy_error.h"
#include "platform/copy_report.h"

#include <filesystem>

// Copies the folder `source` with everything below it so that `destination` (the folder's
// new path, e.g. /dst/Photos for source /src/Photos) holds the whole tree. Files that
// already exist there under the same names are replaced when `overwrite` is true
// (otherwise CopyError); other entries already there stay, and an existing folder is
// merged into. A same-named entry of another kind (a file where a folder must go, or the
// other way round) is never removed: CopyError. Only `destination` itself is created,
// not missing folders above it. Throws CopyError at the first failure; copies already
// made stay.
CopyReport copyFolderTree(const std::filesystem::path &source,
                          const std::filesystem::path &destination, bool overwrite);
