#pragma once

// The data sets the benchmark names in its tables, made in the folder it is given.

#include "comparisons.h"
#include "data_sets.h"

#include <filesystem>
#include <string>
#include <vector>

inline constexpr std::size_t kSmallFile = 4096;
inline constexpr std::size_t kLargeFile = std::size_t(256) << 20;
inline const FileTreeShape kSmallFiles { 20, 9, 100, kSmallFile, 0, 0 };
inline const char *const kSmallFilesTitle = "(b) 20,000 x 4 KiB in 200 folders";
inline const FileTreeShape kExfatFiles { 2, 9, 100, kSmallFile, 0, 0 };
inline const char *const kExfatFilesTitle = "(g) 2,000 x 4 KiB in 20 folders, onto exFAT";
inline const FileTreeShape kNtfsFiles { 2, 9, 10, kSmallFile, 8, std::size_t(16) << 20 };
inline const char *const kNtfsFilesTitle = "(h) 8 x 16 MiB + 200 x 4 KiB, onto NTFS";
inline const char *const kDriveFilesTitle = "(j) 2,000 x 4 KiB in 20 folders";
inline constexpr int kDriveLookEntries = 20'000;
inline const FileTreeShape kThrottledFiles { 2, 9, 100, kSmallFile, 8, std::size_t(4) << 20 };
inline const char *const kThrottledFilesTitle = "(l) 8 x 4 MiB + 2,000 x 4 KiB in 20 folders";
inline const char *const kSftpFilesTitle = "(i) 2,000 x 4 KiB in 20 folders, onto SFTP";

inline const FileTreeShape kWindowFiles { 15, 9, 100, kSmallFile, 0, 0 };
inline const char *const kWindowFilesTitle = "(k) 15,000 x 4 KiB in 150 folders";

// Empty sub-folders with spread times: 10,000 and 100,000 of them.
std::vector<SubFolderSet> makeSubFolderSets(const std::filesystem::path &root);
// 10,000 sub-folders with a file each.
SubFolderSet makeInsideSet(const std::filesystem::path &root);
// `entries` in sub-folders of 1,000 each, for the look inside.
LookSet makeLookSet(const std::filesystem::path &root, int entries);
CopySet makeCopySet(const std::string &title, const std::filesystem::path &folder,
                    const FileTreeShape &shape);
// (b), (c) and (d).
std::vector<CopySet> makeCopySets(const std::filesystem::path &root);
