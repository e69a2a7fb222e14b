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

// Each call passes to the folder behind after its round trip; `fh` is the open file a call
// on one names, and with none the call goes by path: `at` is the path below the root ("."
// for the root itself), `byPath` reaches the entry through /proc/self/fd/N of the root,
// which does not follow a link at its end only for the l*xattr calls.
// clang-format off
struct Behind
{
    using Info = fuse_file_info;
    static int result(long value) { return value < 0 ? -errno : int(value); }
    static int fh(const Info *file) { return int(file->fh); }
    static void roundTrip() { std::this_thread::sleep_for(g_delay); }
    static const char *at(const char *path) { roundTrip(); return path[1] == '\0' ? "." : path + 1; }
    static std::string byPath(const char *p) { return "/proc/self/fd/" + std::to_string(g_root) + "/" + at(p); }
    static int opened(int fd, Info *file) { file->fh = std::uint64_t(fd); return fd < 0 ? -errno : 0; }

    static int getattr(const char *p, struct stat *s, Info *f)
    { return result(f ? fstat(fh(f), s) : fstatat(g_root, at(p), s, AT_SYMLINK_NOFOLLOW)); }
    static int readlink(const char *p, char *buffer, size_t size)
    { const ssize_t got = readlinkat(g_root, at(p), buffer, size - 1);
      return got < 0 ? -errno : (buffer[got] = '\0', 0); }
    static int readdir(const char *p, void *buffer, fuse_fill_dir_t fill, off_t, Info *, fuse_readdir_flags)
    { const int fd = openat(g_root, at(p), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      DIR *folder = fd < 0 ? nullptr : fdopendir(fd);
      if (!folder) {
          const int error = errno;
          return fd >= 0 ? (close(fd), -error) : -error;
      }
      for (const dirent *entry; (entry = ::readdir(folder));) {
          struct stat status = {};
          status.st_ino = entry->d_ino;
          status.st_mode = mode_t(DTTOIF(entry->d_type));
          if (fill(buffer, entry->d_name, &status, 0, fuse_fill_dir_flags(0)))
              break;
      }
      return closedir(folder), 0; }
    static int mkdir(const char *p, mode_t m) { return result(mkdirat(g_root, at(p), m)); }
    static int unlink(const char *p) { return result(unlinkat(g_root, at(p), 0)); }
    static int rmdir(const char *p) { return result(unlinkat(g_root, at(p), AT_REMOVEDIR)); }
    static int symlink(const char *t, const char *p) { return result(symlinkat(t, g_root, at(p))); }
    static int rename(const char *p, const char *to, unsigned flags)
    { return result(renameat2(g_root, at(p), g_root, to + 1, flags)); }
    static int link(const char *p, const char *to) { return result(linkat(g_root, at(p), g_root, to + 1, 0)); }
    static int chmod(const char *p, mode_t m, Info *f)
    { return result(f ? fchmod(fh(f), m) : fchmodat(g_root, at(p), m, 0)); }
    static int chown(const char *p, uid_t u, gid_t g, Info *f)
    { return result(f ? fchown(fh(f), u, g) : fchownat(g_root, at(p), u, g, AT_SYMLINK_NOFOLLOW)); }
    static int truncate(const char *p, off_t size, Info *f)
    { const int fd = f ? fh(f) : openat(g_root, at(p), O_WRONLY | O_CLOEXEC);
      const int done = fd < 0 ? -errno : result(ftruncate(fd, size));
      return !f && fd >= 0 ? (close(fd), done) : done; }
    static int utimens(const char *p, const timespec times[2], Info *f)
    { return result(f ? futimens(fh(f), times) : utimensat(g_root, at(p), times, AT_SYMLINK_NOFOLLOW)); }
    static int open(const char *p, Info *f) { return opened(openat(g_root, at(p), f->flags | O_CLOEXEC), f); }
    static int create(const char *p, mode_t m, Info *f)
    { return opened(openat(g_root, at(p), f->flags | O_CREAT | O_CLOEXEC, m), f); }
    static int read(const char *, char *b, size_t n, off_t o, Info *f)
    { roundTrip(); return result(pread(fh(f), b, n, o)); }
    static int write(const char *, const char *b, size_t n, off_t o, Info *f)
    { roundTrip(); return result(pwrite(fh(f), b, n, o)); }
    static int statfs(const char *, struct statvfs *s) { roundTrip(); return result(fstatvfs(g_root, s)); }
    static int release(const char *, Info *f) { return close(fh(f)), 0; }
    static int fsync(const char *, int dataOnly, Info *f)
    { roundTrip(); return result(dataOnly ? fdatasync(fh(f)) : ::fsync(fh(f))); }
    static int setxattr(const char *p, const char *a, const char *v, size_t n, int flags)
    { return result(lsetxattr(byPath(p).c_str(), a, v, n, flags)); }
    static int getxattr(const char *p, const char *a, char *v, size_t n)
    { return result(lgetxattr(byPath(p).c_str(), a, v, n)); }
    static int listxattr(const char *p, char *list, size_t n) { return result(llistxattr(byPath(p).c_str(), list, n)); }
    static int removexattr(const char *p, const char *a) { return result(lremovexattr(byPath(p).c_str(), a)); }
    // Inode numbers of the folder behind, so that hard links show as one file. Names and
    // statuses are kept for FUSE's usual second, as most FUSE drives and shares keep them.
    static void *init(fuse_conn_info *, fuse_config *config) { config->use_ino = 1; return nullptr; }
};
// clang-format on

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 5 || std::strcmp(argv[1], "--delay-us") != 0)
        return std::fprintf(stderr, "usage: %s --delay-us N FOLDER MOUNTPOINT [FUSE options]\n",
                            argv[0]),
               2;
    g_delay = std::chrono::microseconds(std::strtol(argv[2], nullptr, 10));
    if ((g_root = open(argv[3], O_RDONLY | O_DIRECTORY | O_CLOEXEC)) < 0)
        return std::perror(argv[3]), 1;
    using B = Behind;
    fuse_operations ops = {};
    // clang-format off
    ops.getattr = B::getattr; ops.readlink = B::readlink; ops.mkdir = B::mkdir;
    ops.unlink = B::unlink; ops.rmdir = B::rmdir; ops.symlink = B::symlink; ops.rename = B::rename;
    ops.link = B::link; ops.chmod = B::chmod; ops.chown = B::chown; ops.truncate = B::truncate;
    ops.open = B::open; ops.read = B::read; ops.write = B::write; ops.statfs = B::statfs;
    ops.release = B::release; ops.fsync = B::fsync; ops.setxattr = B::setxattr;
    ops.getxattr = B::getxattr; ops.listxattr = B::listxattr; ops.removexattr = B::removexattr;
    ops.readdir = B::readdir; ops.init = B::init; ops.create = B::create; ops.utimens = B::utimens;
    // clang-format on
    // The program's name, the mount point and the options after it go to FUSE.
    std::vector<char *> fuseArguments { argv[0], argv[4] };
    fuseArguments.insert(fuseArguments.end(), argv + 5, argv + argc);
    return fuse_main(int(fuseArguments.size()), fuseArguments.data(), &ops, nullptr);
}
