#pragma once

#include "engine/case_fold.h"
#include "engine/copy_session.h"

#include <atomic>
#include <filesystem>
#include <functional>

// Adds up what a copy reports, from every thread, and asks to stop once `stop` is set or
// `stopAfter` bytes are done; `onFile` runs as each file starts.
// clang-format off
struct CountingMonitor : CopyMonitor
{
    std::atomic_bool stop = false;
    std::atomic<std::uint64_t> files = 0, bytes = 0, stopAfter = UINT64_MAX;
    std::function<void()> onFile = [] { };
    bool stopRequested() const override { return stop || bytes >= stopAfter; }
    void fileStarted(const std::filesystem::path &) override { ++files; onFile(); }
    void bytesCopied(std::uint64_t count) override { bytes += count; }
};
// clang-format on

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
