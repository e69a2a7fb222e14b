#pragma once

// Builds real folder trees with controlled modification times for the tests.

#include <QDateTime>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace TempTree {

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
        std::filesystem::remove_all(path(), ignored);
    }

    std::filesystem::path path() const { return m_dir.path().toStdString(); }
    QString text() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Local midnight of a date plus an offset in seconds, as seconds since the epoch.
inline qint64 localSecs(QDate day, qint64 offsetSecs = 0)
{
    return QDateTime(day, QTime(0, 0), Qt::LocalTime).toSecsSinceEpoch() + offsetSecs;
}

inline void setModified(const std::filesystem::path &path, std::int64_t secs,
                        std::int64_t extraNanos = 0)
{
    // Through whole seconds first: the file clock counts nanoseconds from 2174, so
    // nanoseconds since 1970 would overflow for dates after 2262.
    using FileClock = std::filesystem::file_time_type::clock;
    const auto whole = FileClock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(secs)));
    std::filesystem::last_write_time(
        path,
        std::chrono::time_point_cast<std::filesystem::file_time_type::duration>(whole)
            + std::chrono::nanoseconds(extraNanos));
}

inline std::filesystem::path makeFolder(const std::filesystem::path &parent,
                                        const std::string &name, std::int64_t modifiedSecs,
                                        std::int64_t extraNanos = 0)
{
    const std::filesystem::path folder = parent / name;
    std::filesystem::create_directories(folder);
    setModified(folder, modifiedSecs, extraNanos);
    return folder;
}

inline void writeFile(const std::filesystem::path &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const std::filesystem::path &path)
{
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return std::move(content).str();
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
