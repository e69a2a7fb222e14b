#pragma once

#include <functional>
#include <string>

// A name folded for comparisons that ignore case, as a folder of FAT or exFAT compares its
// names: the same text for names that differ only in case. The engine folds ASCII itself;
// the layer above passes a fold that knows Unicode.
using CaseFold = std::function<std::string(const std::string &name)>;

// Folds ASCII letters only.
std::string asciiCaseFold(const std::string &name);
