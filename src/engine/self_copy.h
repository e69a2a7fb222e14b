#pragma once

#include <filesystem>
#include <optional>
#include <vector>

// Whether copying the folder `source` to `destination` would write onto the source
// itself or into its own tree (destination equal to source or inside it). Paths are
// compared in canonical form, so links, "." and ".." and trailing separators do not
// hide it.
bool landsInsideItself(const std::filesystem::path &source,
                       const std::filesystem::path &destination);

// The first of `names` (in the given order) whose copy sourceFolder/<name> ->
// destinationFolder/<name> would land on itself or inside its own tree: the destination
// folder lies inside sourceFolder/<name>, or is the source folder itself. nullopt when
// every copy of the plan is safe.
std::optional<std::filesystem::path> findSelfCopy(const std::filesystem::path &sourceFolder,
                                                  const std::vector<std::filesystem::path> &names,
                                                  const std::filesystem::path &destinationFolder);
