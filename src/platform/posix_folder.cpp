#include "posix_folder.h"

#include "system_calls.h"
#include "unique_fd.h"

#include <dirent.h>
#include <fcntl.h>

namespace {

std::optional<EntryKind> kindOf(unsigned char type)
{
    switch (type) {
    case DT_REG:
        return EntryKind::File;
    case DT_DIR:
        return EntryKind::Folder;
    case DT_LNK:
        return EntryKind::Link;
    case DT_UNKNOWN:
        return std::nullopt;
    default:
        return EntryKind::Special;
    }
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

std::vector<FolderEntry> readFolderEntries(int fd)
{
    UniqueFd own(openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR *dir = own.isOpen() ? fdopendir(own.get()) : nullptr;
    if (!dir)
        throwSystemError();
    own.release();
    std::vector<FolderEntry> result;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir);
        if (!entry)
            break;
        if (!isDotOrDotDot(entry->d_name))
            result.push_back({ entry->d_name, kindOf(entry->d_type) });
    }
    const int readError = errno;
    closedir(dir);
    if (readError != 0)
        throwSystemError(readError);
    return result;
}
