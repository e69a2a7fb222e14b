#include "page_cache.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

void warmPageCache(const std::filesystem::path &folder)
{
    std::vector<char> buffer(1 << 20);
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        while (::read(fd, buffer.data(), buffer.size()) > 0) { }
        ::close(fd);
    }
}

void flushWrites()
{
    ::sync();
}

void dropPageCache()
{
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    const bool dropped = fd >= 0 && ::write(fd, "3\n", 2) == 2;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!dropped)
        throw std::system_error(error, std::generic_category(), "cannot drop the page cache");
}
