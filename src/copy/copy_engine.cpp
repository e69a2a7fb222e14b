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

} // namespace

CopyReport copyFolderTree(const std::filesystem::path &source,
                          const std::filesystem::path &destination, bool overwrite)
{
    KernelFileDataCopy dataCopy;
    return FolderTreeCopier(dataCopy, overwrite).copy(source, destination);
}
