#include "data_sets.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string &what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd, const std::string &what)
        : m_fd(fd)
    {
        if (m_fd < 0)
            fail(what);
    }
    ~FileDescriptor() { ::close(m_fd); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// xorshift64*: fast, and different seeds give different bytes.
class ByteStream
{
public:
    explicit ByteStream(std::uint64_t seed)
        : m_state(seed * 0x9E3779B97F4A7C15ULL + 1)
    { }
    void fill(std::vector<char> &buffer)
    {
        for (std::size_t i = 0; i < buffer.size(); i += sizeof(std::uint64_t)) {
            const std::uint64_t word = next();
            std::memcpy(buffer.data() + i, &word, std::min(sizeof word, buffer.size() - i));
        }
    }

private:
    std::uint64_t next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1DULL;
    }

    std::uint64_t m_state;
};

void writeFile(const std::filesystem::path &path, std::size_t bytes, std::uint64_t seed)
{
    constexpr std::size_t kChunk = 1 << 20;
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644),
                        "cannot create " + path.string());
    ByteStream stream(seed);
    std::vector<char> buffer(std::min(bytes, kChunk));
    for (std::size_t written = 0; written < bytes;) {
        stream.fill(buffer);
        const std::size_t size = std::min(buffer.size(), bytes - written);
        const ssize_t done = ::write(file.get(), buffer.data(), size);
        if (done <= 0)
            fail("cannot write " + path.string());
        written += std::size_t(done);
    }
}

void makeFolder(const std::filesystem::path &path)
{
    if (::mkdir(path.c_str(), 0755) != 0)
        fail("cannot create " + path.string());
}

void fillFolder(const std::filesystem::path &folder, const FileTreeShape &shape,
                std::uint64_t &seed)
{
    for (int i = 0; i < shape.filesPerFolder; ++i) {
        std::array<char, 32> name {};
        std::snprintf(name.data(), name.size(), "file-%04d.dat", i);
        writeFile(folder / name.data(), shape.fileBytes, ++seed);
    }
}

} // namespace

void makeSubFolderSource(const std::filesystem::path &root, int count, int spreadDays,
                         std::int64_t nowSecs, bool fileInside)
{
    static constexpr std::array<const char *, 5> kStems { "Report", "photos", "Build", "archive",
                                                          "Project Notes" };
    makeFolder(root);
    FileDescriptor rootFd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                          "cannot open " + root.string());
    const std::int64_t spreadSecs = std::int64_t(spreadDays) * 86400;
    for (int i = 0; i < count; ++i) {
        std::array<char, 64> name {};
        std::snprintf(name.data(), name.size(), "%s %06d", kStems[std::size_t(i) % kStems.size()],
                      i);
        if (::mkdirat(rootFd.get(), name.data(), 0755) != 0)
            fail("cannot create " + (root / name.data()).string());
        // A stride coprime to the count visits every slot once, in scrambled order.
        const std::int64_t slot = (std::int64_t(i) * 7919) % count;
        timespec times[2] {};
        times[0].tv_sec = times[1].tv_sec = nowSecs - slot * spreadSecs / count;
        const std::string file = std::string(name.data()) + "/notes.txt";
        if (fileInside) {
            writeFile(root / file, 1024, std::uint64_t(i));
            timespec fileTimes[2] = { times[0], times[1] };
            fileTimes[1].tv_sec = i % 3 == 0 ? nowSecs : times[1].tv_sec;
            if (::utimensat(rootFd.get(), file.c_str(), fileTimes, 0) != 0)
                fail("cannot set the time of " + (root / file).string());
        }
        if (::utimensat(rootFd.get(), name.data(), times, 0) != 0)
            fail("cannot set the time of " + (root / name.data()).string());
    }
}

void makeLookSource(const std::filesystem::path &root, int subFolders, int entriesEach)
{
    constexpr int kFolders = 10;
    makeFolder(root);
    for (int sub = 0; sub < subFolders; ++sub) {
        std::array<char, 32> name {};
        std::snprintf(name.data(), name.size(), "Sub %04d", sub);
        const std::filesystem::path subFolder = root / name.data();
        makeFolder(subFolder);
        for (int folder = 0; folder < kFolders; ++folder) {
            const std::filesystem::path inner = subFolder / ("part-" + std::to_string(folder));
            makeFolder(inner);
            FileDescriptor innerFd(::open(inner.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                                   "cannot open " + inner.string());
            for (int file = 0; file < entriesEach / kFolders - 1; ++file) {
                std::snprintf(name.data(), name.size(), "file-%04d.dat", file);
                FileDescriptor made(::openat(innerFd.get(), name.data(),
                                             O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644),
                                    "cannot create " + (inner / name.data()).string());
            }
        }
    }
}

void makeFileTree(const std::filesystem::path &root, const FileTreeShape &shape)
{
    makeFolder(root);
    std::uint64_t seed = std::hash<std::string>()(root.string());
    for (int top = 0; top < shape.topFolders; ++top) {
        const std::filesystem::path topFolder = root / ("folder-" + std::to_string(top));
        makeFolder(topFolder);
        fillFolder(topFolder, shape, seed);
        for (int sub = 0; sub < shape.subFoldersEach; ++sub) {
            const std::filesystem::path subFolder = topFolder / ("part-" + std::to_string(sub));
            makeFolder(subFolder);
            fillFolder(subFolder, shape, seed);
        }
    }
    for (int i = 0; i < shape.bigFiles; ++i)
        writeFile(root / ("big-" + std::to_string(i) + ".bin"), shape.bigFileBytes, ++seed);
}
