// A drive that answers like one behind a network: a FUSE file system that passes every call
// to a real folder after a fixed delay, and serves calls on several threads at once, as a
// share does. Tests and the benchmark mount it to see what round trips cost a copy.
// Usage (as root): sprigwell_delay_fs --delay-us N FOLDER MOUNTPOINT [FUSE options]

#define FUSE_USE_VERSION 35
#include <fuse3/fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int g_root = -1;
std::chrono::microseconds g_delay { 1000 };

// Every call waits its round trip first.
const char *relative(const char *path)
{
    std::this_thread::sleep_for(g_delay);
    return path[1] == '\0' ? "." : path + 1;
}

int result(int value)
{
    return value < 0 ? -errno : value;
}

int getAttributes(const char *path, struct stat *status, fuse_file_info *file)
{
    if (file)
        return result(fstat(int(file->fh), status));
    return result(fstatat(g_root, relative(path), status, AT_SYMLINK_NOFOLLOW));
}

int readLink(const char *path, char *buffer, size_t size)
{
    const ssize_t got = readlinkat(g_root, relative(path), buffer, size - 1);
    if (got < 0)
        return -errno;
    buffer[got] = '\0';
    return 0;
}

int readFolder(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *,
               fuse_readdir_flags)
{
    const int fd = openat(g_root, relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *folder = fd < 0 ? nullptr : fdopendir(fd);
    if (!folder) {
        const int error = errno;
        if (fd >= 0)
            close(fd);
        return -error;
    }
    while (const dirent *entry = readdir(folder)) {
        struct stat status = {};
        status.st_ino = entry->d_ino;
        status.st_mode = mode_t(DTTOIF(entry->d_type));
        if (fill(buffer, entry->d_name, &status, 0, fuse_fill_dir_flags(0)))
            break;
    }
    closedir(folder);
    return 0;
}

int makeFolder(const char *path, mode_t mode)
{
    return result(mkdirat(g_root, relative(path), mode));
}

int removeFile(const char *path)
{
    return result(unlinkat(g_root, relative(path), 0));
}

int removeFolder(const char *path)
{
    return result(unlinkat(g_root, relative(path), AT_REMOVEDIR));
}

int makeSymlink(const char *target, const char *path)
{
    return result(symlinkat(target, g_root, relative(path)));
}

int renameEntry(const char *from, const char *to, unsigned int flags)
{
    const char *source = relative(from);
    return result(renameat2(g_root, source, g_root, to + 1, flags));
}

int makeLink(const char *from, const char *to)
{
    const char *source = relative(from);
    return result(linkat(g_root, source, g_root, to + 1, 0));
}

int changeMode(const char *path, mode_t mode, fuse_file_info *file)
{
    if (file)
        return result(fchmod(int(file->fh), mode));
    return result(fchmodat(g_root, relative(path), mode, 0));
}

int changeOwner(const char *path, uid_t owner, gid_t group, fuse_file_info *file)
{
    if (file)
        return result(fchown(int(file->fh), owner, group));
    return result(fchownat(g_root, relative(path), owner, group, AT_SYMLINK_NOFOLLOW));
}

int truncateFile(const char *path, off_t size, fuse_file_info *file)
{
    if (file)
        return result(ftruncate(int(file->fh), size));
    const int fd = openat(g_root, relative(path), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    const int done = result(ftruncate(fd, size));
    close(fd);
    return done;
}

int setTimes(const char *path, const struct timespec times[2], fuse_file_info *file)
{
    if (file)
        return result(futimens(int(file->fh), times));
    return result(utimensat(g_root, relative(path), times, AT_SYMLINK_NOFOLLOW));
}

int openFile(const char *path, fuse_file_info *file)
{
    const int fd = openat(g_root, relative(path), file->flags | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    file->fh = std::uint64_t(fd);
    return 0;
}

int createFile(const char *path, mode_t mode, fuse_file_info *file)
{
    const int fd = openat(g_root, relative(path), file->flags | O_CREAT | O_CLOEXEC, mode);
    if (fd < 0)
        return -errno;
    file->fh = std::uint64_t(fd);
    return 0;
}

int readFile(const char *, char *buffer, size_t size, off_t offset, fuse_file_info *file)
{
    std::this_thread::sleep_for(g_delay);
    return result(int(pread(int(file->fh), buffer, size, offset)));
}

int writeFile(const char *, const char *buffer, size_t size, off_t offset, fuse_file_info *file)
{
    std::this_thread::sleep_for(g_delay);
    return result(int(pwrite(int(file->fh), buffer, size, offset)));
}

int fileSystemStatus(const char *path, struct statvfs *status)
{
    relative(path);
    return result(fstatvfs(g_root, status));
}

int releaseFile(const char *, fuse_file_info *file)
{
    close(int(file->fh));
    return 0;
}

int syncFile(const char *, int dataOnly, fuse_file_info *file)
{
    std::this_thread::sleep_for(g_delay);
    return result(dataOnly ? fdatasync(int(file->fh)) : fsync(int(file->fh)));
}

// Attributes by path: /proc/self/fd/N of the root reaches the entry without following a link
// at its end only for the l*xattr calls.
std::string rootPath(const char *path)
{
    return "/proc/self/fd/" + std::to_string(g_root) + "/" + relative(path);
}

int setAttribute(const char *path, const char *name, const char *value, size_t size, int flags)
{
    return result(lsetxattr(rootPath(path).c_str(), name, value, size, flags));
}

int getAttribute(const char *path, const char *name, char *value, size_t size)
{
    return result(int(lgetxattr(rootPath(path).c_str(), name, value, size)));
}

int listAttributes(const char *path, char *list, size_t size)
{
    return result(int(llistxattr(rootPath(path).c_str(), list, size)));
}

int removeAttribute(const char *path, const char *name)
{
    return result(lremovexattr(rootPath(path).c_str(), name));
}

void *start(fuse_conn_info *, fuse_config *config)
{
    // Inode numbers of the folder behind, so that hard links show as one file. Names and
    // statuses are kept for FUSE's usual second, as most FUSE drives and shares keep them.
    config->use_ino = 1;
    return nullptr;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 5 || std::strcmp(argv[1], "--delay-us") != 0) {
        std::fprintf(stderr, "usage: %s --delay-us N FOLDER MOUNTPOINT [FUSE options]\n", argv[0]);
        return 2;
    }
    g_delay = std::chrono::microseconds(std::strtol(argv[2], nullptr, 10));
    g_root = open(argv[3], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_root < 0) {
        std::perror(argv[3]);
        return 1;
    }
    fuse_operations operations = {};
    operations.getattr = getAttributes;
    operations.readlink = readLink;
    operations.mkdir = makeFolder;
    operations.unlink = removeFile;
    operations.rmdir = removeFolder;
    operations.symlink = makeSymlink;
    operations.rename = renameEntry;
    operations.link = makeLink;
    operations.chmod = changeMode;
    operations.chown = changeOwner;
    operations.truncate = truncateFile;
    operations.open = openFile;
    operations.read = readFile;
    operations.write = writeFile;
    operations.statfs = fileSystemStatus;
    operations.release = releaseFile;
    operations.fsync = syncFile;
    operations.setxattr = setAttribute;
    operations.getxattr = getAttribute;
    operations.listxattr = listAttributes;
    operations.removexattr = removeAttribute;
    operations.readdir = readFolder;
    operations.init = start;
    operations.create = createFile;
    operations.utimens = setTimes;

    // The program's name, the mount point and the options after it go to FUSE.
    std::vector<char *> fuseArguments { argv[0], argv[4] };
    for (int i = 5; i < argc; ++i)
        fuseArguments.push_back(argv[i]);
    return fuse_main(int(fuseArguments.size()), fuseArguments.data(), &operations, nullptr);
}
