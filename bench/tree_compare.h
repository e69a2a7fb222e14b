#pragma once

#include <filesystem>
#include <string>

// The first difference between two trees, as text: an entry that only one of them has,
// an entry that is a file in one and a folder in the other, or a file whose bytes
// differ. Empty when both hold the same folders and files with the same contents.
std::string firstTreeDifference(const std::filesystem::path &expected,
                                const std::filesystem::path &actual);
