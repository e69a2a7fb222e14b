#pragma once

#include "destination_checks.h"
#include "tree_walk.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_set>

// What a copy keeps with each level of its walk: the destination folder's record, and the
// source folder's path, named to the monitor with each file.
struct CopyLevelState : DestinationFolder
{
    std::filesystem::path sourcePath;
    // The case-folded names of its files in flight since the copier's wait numbered
    // `foldsSince`: a name that folds the same must wait for them.
    std::unordered_set<std::string> foldsInFlight;
    std::uint64_t foldsSince = 0;
};

// A level's state, shared with the files in flight from its folder: they may end after the
// walk has left it.
struct CopyLevelHold
{
    std::shared_ptr<CopyLevelState> shared = std::make_shared<CopyLevelState>();
    CopyLevelState *operator->() const { return shared.get(); }
    CopyLevelState &operator*() const { return *shared; }
};
using CopyWalk = TreeWalk<CopyLevelHold>;
