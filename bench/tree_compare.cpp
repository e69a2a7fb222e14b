#include "tree_compare.h"

#include <fstream>
#include <map>
#include <vector>

namespace {

enum class EntryKind { File, Folder, Other };

std::map<std::filesystem::path, EntryKind> entriesOf(const std::filesystem::path &root)
{
    std::map<std::filesystem::path, EntryKind> entries;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
        const EntryKind kind = entry.is_symlink() ? EntryKind::Other
            : entry.is_directory()                ? EntryKind::Folder
            : entry.is_regular_file()             ? EntryKind::File
                                                  : EntryKind::Other;
        entries.emplace(entry.path().lexically_relative(root), kind);
    }
    return entries;
}

bool sameBytes(const std::filesystem::path &a, const std::filesystem::path &b)
{
    if (std::filesystem::file_size(a) != std::filesystem::file_size(b))
        return false;
    std::ifstream left(a, std::ios::binary);
    std::ifstream right(b, std::ios::binary);
    std::vector<char> leftChunk(1 << 20);
    std::vector<char> rightChunk(leftChunk.size());
    while (left && right) {
        left.read(leftChunk.data(), std::streamsize(leftChunk.size()));
        right.read(rightChunk.data(), std::streamsize(rightChunk.size()));
        if (left.gcount() != right.gcount()
            || !std::equal(leftChunk.begin(), leftChunk.begin() + left.gcount(),
                           rightChunk.begin()))
            return false;
    }
    return !left.bad() && !right.bad();
}

} // namespace

std::string firstTreeDifference(const std::filesystem::path &expected,
                                const std::filesystem::path &actual)
{
    const auto want = entriesOf(expected);
    const auto have = entriesOf(actual);
    for (const auto &[path, kind] : want) {
        const auto found = have.find(path);
        if (found == have.end())
            return "missing: " + path.string();
        if (found->second != kind)
            return "different kind of entry: " + path.string();
        if (kind == EntryKind::File && !sameBytes(expected / path, actual / path))
            return "different contents: " + path.string();
    }
    for (const auto &[path, kind] : have) {
        if (!want.contains(path))
            return "unexpected: " + path.string();
    }
    return {};
}
