#include "copy_engine.h"

#include "folder_tree_copier.h"
#include "platform/posix_file_copy.h"

namespace {

class KernelFileDataCopy final : public FileDataCopy
{
public:
    DataCopyResult copy(int from, int to, std::uint64_t sizeHint) override
    {
        return copyFileData(from, to, sizeHint);
    }
};

[[noreturn]] void throwCancelled(const std::filesystem::path &path)
{
    throw FileSystemError(path, std::make_error_code(std::errc::operation_canceled));
}

} // namespace

TreeTotals measureTree(const std::filesystem::path &folder, CopyMonitor &monitor)
{
    TreeTotals totals;
    std::error_code error;
    std::filesystem::recursive_directory_iterator it(
        folder, std::filesystem::directory_options::skip_permission_denied, error);
    for (; !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (monitor.stopRequested())
            throwCancelled(it->path());
        std::error_code entryError;
        const auto status = it->symlink_status(entryError);
        if (entryError || !std::filesystem::is_regular_file(status))
            continue;
        const auto size = it->file_size(entryError);
        if (entryError)
            continue;
        ++totals.files;
        totals.bytes += size;
    }
    return totals;
}

CopyReport copyFolderTree(const std::filesystem::path &source,
                          const std::filesystem::path &destination, CopyMonitor &monitor)
{
    KernelFileDataCopy dataCopy;
    return FolderTreeCopier(dataCopy, monitor).copy(source, destination);
}
