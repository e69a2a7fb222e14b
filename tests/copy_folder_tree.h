#pragma once

#include "engine/case_fold.h"
#include "engine/copy_session.h"

#include <filesystem>

// A run of one sub-folder through a CopySession, without its check and flush at the end:
// makes `destination` (the folder's new path, e.g. /dst/Photos for /src/Photos) hold the
// tree of `source`.
inline CopyReport copyFolderTree(SystemCalls &calls, const std::filesystem::path &source,
                                 const std::filesystem::path &destination, CopyMonitor &monitor,
                                 const CaseFold &caseFold = asciiCaseFold)
{
    const std::filesystem::path named = withoutTrailingSeparator(destination);
    const std::filesystem::path into = named.parent_path();
    CopySession session(calls, into.empty() ? "." : into, caseFold);
    return session.copyFolder(source, named.filename(), monitor);
}
