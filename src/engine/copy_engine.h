#pragma once

#include "copy_monitor.h"
#include "copy_report.h"
#include "failure.h"
#include "system_calls.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_set>

// The engine (engine/, the bottom layer): walks and copies folder trees with the standard
// library and POSIX only. Every system call goes through SystemCalls, every failure is a
// Failure, and run_policy.h alone says which failures stop a whole run. What it needs from
// above (a case fold, a stop flag, progress) comes in through CaseFold and CopyMonitor.
// Nothing here includes from another folder of src/.
//
// What it offers: the count before a copy, the copy of one folder tree, and the two
// questions asked of the destination's file system. Every call goes through `calls`.

struct TreeTotals
{
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    // A copy of the tree would land on or inside itself (CopySession::measure()).
    bool intoItself = false;
};

// A name folded for comparisons that ignore case, as a folder of FAT or exFAT compares its
// names: the same text for names that differ only in case.
using CaseFold = std::function<std::string(const std::string &name)>;

// Folds ASCII letters only.
std::string asciiCaseFold(const std::string &name);

// Files and bytes (sum of regular files' sizes) below `folder`, as a copy of it will meet
// them; entries that cannot be read are left out. `intoItself` tells whether one of the
// folders `watched` is met in the tree, its top included. Throws stopAt() when the monitor
// asks.
TreeTotals measureTree(SystemCalls &calls, const std::filesystem::path &folder,
                       CopyMonitor &monitor, const std::unordered_set<FileIdentity> &watched = {});

// Makes `destination` (the folder's new path, e.g. /dst/Photos for /src/Photos) hold the tree
// of `source`, replacing same-named files: a run of one sub-folder through a CopySession,
// without its check and flush at the end. Problems of single entries are recorded in the
// report and the copy goes on; a failure that stops the run (run_policy.h) is thrown.
CopyReport copyFolderTree(SystemCalls &calls, const std::filesystem::path &source,
                          const std::filesystem::path &destination, CopyMonitor &monitor,
                          const CaseFold &caseFold = asciiCaseFold);

// Bytes an unprivileged user may still write on the file system that holds `folder`.
std::uint64_t freeBytes(SystemCalls &calls, const std::filesystem::path &folder);
