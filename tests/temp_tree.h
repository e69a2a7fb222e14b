#pragma once

// Builds real folder trees with controlled modification times for the tests.

#include <QDateTime>
#include <QTemporaryDir>

#include "engine/source_record.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

namespace TempTree {

using Path = std::filesystem::path;
namespace fs = std::filesystem;

// A temporary folder (in `parent` when given, else in the system's temporary folder) that is
// removed byte-wise, so names that are not valid UTF-8 go with it.
class Folder
{
public:
    explicit Folder(const QString &parent = {})
        : m_dir(parent.isEmpty() ? QTemporaryDir() : QTemporaryDir(parent + u"/XXXXXX"))
    {
        m_dir.setAutoRemove(false);
    }
    ~Folder()
    {
        std::error_code ignored;
        fs::remove_all(path(), ignored);
    }

    Path path() const { return m_dir.path().toStdString(); }
    QString text() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Local midnight of a date plus an offset in seconds, as seconds since the epoch.
inline qint64 localSecs(QDate day, qint64 offsetSecs = 0)
{
    return QDateTime(day, QTime(0, 0), Qt::LocalTime).toSecsSinceEpoch() + offsetSecs;
}

inline void setModified(const Path &path, std::int64_t secs, std::int64_t extraNanos = 0)
{
    // Through whole seconds first: the file clock counts nanoseconds from 2174, so
    // nanoseconds since 1970 would overflow for dates after 2262.
    using FileClock = fs::file_time_type::clock;
    const auto whole = FileClock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(secs)));
    fs::last_write_time(path,
                        std::chrono::time_point_cast<fs::file_time_type::duration>(whole)
                            + std::chrono::nanoseconds(extraNanos));
}

inline Path makeFolder(const Path &parent, const std::string &name, std::int64_t modifiedSecs,
                       std::int64_t extraNanos = 0)
{
    const Path folder = parent / name;
    fs::create_directories(folder);
    setModified(folder, modifiedSecs, extraNanos);
    return folder;
}

// The entry's own status (a link's, not its target's); zeros where there is none.
inline struct stat statusOf(const Path &path)
{
    struct stat info = {};
    lstat(path.c_str(), &info);
    return info;
}

inline void writeFile(const Path &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const Path &path)
{
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return std::move(content).str();
}

// Every entry below `root` with what a copy must keep of it: type and mode, modification
// time, a file's link count, extended attributes, a file's bytes or a link's target; but the
// kinds named in `notKept` (as a copy reports them). Leftover temporaries show up as entries.
inline std::map<std::string, std::string> snapshot(const Path &root, const QString &notKept = {})
{
    const bool modes = !notKept.contains(u"Permissions"), times = !notKept.contains(u"Times"),
               links = !notKept.contains(u"HardLinks"),
               attributes = !notKept.contains(u"Attributes") && !notKept.contains(u"Lists");
    std::map<std::string, std::string> entries;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        const char *path = entry.path().c_str();
        const struct stat info = statusOf(path);
        std::ostringstream value;
        value << (modes ? info.st_mode : info.st_mode & S_IFMT) << ' '
              << (times ? info.st_mtim.tv_nsec + info.st_mtim.tv_sec * 1'000'000'000 : 0) << ' '
              << (S_ISDIR(info.st_mode) || !links ? 0 : info.st_nlink) << ' ';
        char names[1024] = {}, buffer[256];
        const ssize_t listed = attributes ? llistxattr(path, names, sizeof names) : 0;
        const char *end = names + std::max<ssize_t>(listed, 0);
        for (const char *name = names; name < end; name += std::strlen(name) + 1) {
            if (name == std::string_view(kSourceRecordAttribute)) // the copy's own
                continue;
            const ssize_t got = lgetxattr(path, name, buffer, sizeof buffer);
            value << name << '=' << std::string(buffer, std::max<ssize_t>(got, 0)) << ' ';
        }
        value << (S_ISLNK(info.st_mode)       ? fs::read_symlink(entry).string()
                      : S_ISREG(info.st_mode) ? readFile(entry.path())
                                              : "");
        entries[entry.path().lexically_relative(root).string()] = value.str();
    }
    return entries;
}

// Under ThreadSanitizer every call costs many times its time: how long things take, what a
// round trip is worth against the work around it and how far a number in flight climbs are
// not the drive's.
inline bool timesAreTrue()
{
    return qEnvironmentVariable("SPRIGWELL_SANITIZER") != u"thread";
}

// Runs `work` in a child process as the user and group 65534 (nobody): true where the
// switch took and `work` returned true.
inline bool asUnprivilegedUser(const std::function<bool()> &work)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(setresgid(65534, 65534, 65534) == 0 && setresuid(65534, 65534, 65534) == 0 && work()
                  ? 0
                  : 1);
    int status = -1;
    return waitpid(child, &status, 0) == child && status == 0;
}

} // namespace TempTree
