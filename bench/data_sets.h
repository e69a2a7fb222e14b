#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

// Makes a folder of `count` empty sub-folders whose modification times are spread
// evenly over the `spreadDays` days before `nowSecs`, in an order unrelated to their
// names. Names mix upper and lower case, as real folders do.
// With `fileInside`, each sub-folder holds one file of 1 KiB, modified at its own time but
// in every third sub-folder at `nowSecs`, which makes the recent ones among those recent
// only by what is inside.
void makeSubFolderSource(const std::filesystem::path &root, int count, int spreadDays,
                         std::int64_t nowSecs, bool fileInside = false);

// A source for the look inside: `subFolders` sub-folders of `entriesEach` entries below
// each, in ten folders of empty files, all made now.
void makeLookSource(const std::filesystem::path &root, int subFolders, int entriesEach);

// A folder tree to copy: `topFolders` folders under the root, each with `subFoldersEach`
// folders inside, every one of them holding `filesPerFolder` files of `fileBytes`; and
// `bigFiles` files of `bigFileBytes` directly in the root. File contents are
// pseudo-random, so no file system or tool can shortcut them.
struct FileTreeShape
{
    int topFolders = 0;
    int subFoldersEach = 0;
    int filesPerFolder = 0;
    std::size_t fileBytes = 0;
    int bigFiles = 0;
    std::size_t bigFileBytes = 0;
};

void makeFileTree(const std::filesystem::path &root, const FileTreeShape &shape);
