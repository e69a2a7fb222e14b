#pragma once

// Ways to look at what a copy left behind, and to make it fail for real. The trees
// themselves are built with TempTree.

#include "temp_tree.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

namespace CopyTree {

inline std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

inline std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// Sets access and modification time to the same instant; links themselves, not
// their targets.
inline void setTimes(const std::filesystem::path &path, time_t secs, long nanos)
{
    const struct timespec times[2] = { { secs, nanos }, { secs, nanos } };
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

inline struct stat linkStatus(const std::filesystem::path &path)
{
    struct stat info = {};
    lstat(path.c_str(), &info);
    return info;
}

// Every entry below `root` by relative path, with its kind and its content (a file's
// bytes, a link's target), so two trees compare with one QCOMPARE.
inline std::map<std::string, std::string> snapshot(const std::filesystem::path &root)
{
    std::map<std::string, std::string> entries;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string relative = entry.path().lexically_relative(root).string();
        switch (entry.symlink_status().type()) {
        case std::filesystem::file_type::symlink:
            entries[relative] = "link to " + std::filesystem::read_symlink(entry).string();
            break;
        case std::filesystem::file_type::directory:
            entries[relative] = "folder";
            break;
        case std::filesystem::file_type::regular:
            entries[relative] = "file " + readFile(entry.path());
            break;
        default:
            entries[relative] = "special";
        }
    }
    return entries;
}

// Temporaries of unfinished files ("<name>.sprigwell-XXXXXX") anywhere below `root`.
inline int temporariesBelow(const std::filesystem::path &root)
{
    int count = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root))
        count += entry.path().filename().string().find(".sprigwell-") != std::string::npos;
    return count;
}

// Lowers the largest file this process may write, as a full disk would stop it, and
// restores the limit when dropped. Writes beyond it fail with EFBIG.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit lowered = m_previous;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit m_previous = {};
    sighandler_t m_previousHandler = nullptr;
};

} // namespace CopyTree
