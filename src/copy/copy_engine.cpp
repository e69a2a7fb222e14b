#include "copy_engine.h"

#include "folder_stack.h"
#include "folder_tree_copier.h"
#include "platform/system_calls.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <unordered_set>

TreeTotals measureTree(const std::filesystem::path &folder, CopyMonitor &monitor)
{
    // The same walk as a copy's, on the source side alone: the walk's own stack, few
    // descriptors, links not followed below the top folder.
    struct Empty
    {
    };
    FolderStack<Empty> stack;
    std::unordered_set<FileIdentity> onStack;
    const auto push = [&](UniqueFd fd, std::string name) {
        struct stat info;
        if (!fd.isOpen() || fstat(fd.get(), &info) != 0)
            return;
        FolderStack<Empty>::Level level;
        level.name = std::move(name);
        level.source.identity = FileStatus(info).identity();
        try {
            level.entries = readFolderEntries(fd.get());
        } catch (const std::system_error &) {
            return; // unreadable: left out
        }
        if (!onStack.insert(level.source.identity).second)
            return; // a loop of mounts
        level.source.fd = std::move(fd);
        stack.push(std::move(level));
    };

    TreeTotals totals;
    push(UniqueFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), {});
    while (!stack.empty()) {
        auto &level = stack.top();
        if (level.next == level.entries.size()) {
            onStack.erase(level.source.identity);
            if (!stack.pop())
                break; // a folder moved meanwhile: what was counted stands
            continue;
        }
        const FolderEntry &entry = level.entries[level.next++];
        if (monitor.stopRequested())
            throw FileSystemError(stack.pathOf(folder, entry.name),
                                  std::make_error_code(std::errc::operation_canceled));
        const int fd = level.source.fd.get();
        if (entry.kind == EntryKind::Folder) {
            push(UniqueFd(openat(fd, entry.name.c_str(),
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
                 entry.name);
            continue;
        }
        struct stat info;
        if (entry.kind && entry.kind != EntryKind::File)
            continue;
        if (fstatat(fd, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(info.st_mode)) {
            ++totals.files;
            totals.bytes += FileStatus(info).size();
        } else if (S_ISDIR(info.st_mode)) {
            push(UniqueFd(openat(fd, entry.name.c_str(),
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
                 entry.name);
        }
    }
    return totals;
}

CopyReport copyFolderTree(const std::filesystem::path &source,
                          const std::filesystem::path &destination, CopyMonitor &monitor)
{
    SystemCalls calls;
    return FolderTreeCopier(calls, monitor).copy(source, destination);
}
