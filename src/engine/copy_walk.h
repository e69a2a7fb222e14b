#pragma once

#include "destination_checks.h"
#include "tree_walk.h"

#include <filesystem>

// What a copy keeps with each level of its walk: the destination folder's record, and the
// source folder's path, named to the monitor with each file.
struct CopyLevelState : DestinationFolder
{
    std::filesystem::path sourcePath;
};
using CopyWalk = TreeWalk<CopyLevelState>;
