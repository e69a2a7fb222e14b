#include "self_copy.h"

#include <algorithm>
#include <system_error>

namespace {

// Absolute, with links resolved as far as the path exists, and without a trailing
// separator, so that equal folders give equal paths.
std::filesystem::path comparableForm(const std::filesystem::path &path)
{
    std::error_code error;
    std::filesystem::path result = std::filesystem::absolute(path, error);
    if (error)
        result = path;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(result, error);
    result = (error ? result : resolved).lexically_normal();
    if (!result.has_filename() && result.has_relative_path())
        result = result.parent_path();
    return result;
}

bool isSameOrInside(const std::filesystem::path &inner, const std::filesystem::path &outer)
{
    return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first
        == outer.end();
}

} // namespace

bool landsInsideItself(const std::filesystem::path &source,
                       const std::filesystem::path &destination)
{
    return isSameOrInside(comparableForm(destination), comparableForm(source));
}

std::optional<std::filesystem::path> findSelfCopy(const std::filesystem::path &sourceFolder,
                                                  const std::vector<std::filesystem::path> &names,
                                                  const std::filesystem::path &destinationFolder)
{
    for (const auto &name : names) {
        if (landsInsideItself(sourceFolder / name, destinationFolder / name))
            return name;
    }
    return std::nullopt;
}
