#pragma once

#include "copy_error.h"
#include "copy_report.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// One immediate sub-folder as the file system reports it. The name is kept as raw
// path bytes so that names which are not valid UTF-8 survive untouched.
struct SubFolder
{
    std::filesystem::path name;
    std::int64_t modifiedSecs = 0; // last modification, whole seconds since the Unix epoch
};

// A file-system operation that failed; what() reads "<path>: <system's reason>".
class FileSystemError : public std::runtime_error
{
public:
    FileSystemError(std::filesystem::path path, const std::string &reason)
        : std::runtime_error(path.string() + ": " + reason)
        , m_path(std::move(path))
        , m_reason(reason)
    { }
    const std::filesystem::path &path() const { return m_path; }
    const std::string &reason() const { return m_reason; }

private:
    std::filesystem::path m_path;
    std::string m_reason;
};

// Everything the window asks of the file system. Production code uses LocalFileSystem;
// widget tests pass a fake.
class FileSystemService
{
public:
    virtual ~FileSystemService() = default;

    // True exactly when a folder exists at the path (a link to a folder counts).
    virtual bool folderExists(const std::filesystem::path &path) = 0;

    // Drive tests for a two-character drive text ("C:"). Paths without drive letters
    // name no drives, so there both answer false.
    virtual bool driveExists(const QString &drive) = 0;
    virtual bool driveReady(const QString &drive) = 0;

    // The folder's immediate sub-folders in case-insensitive name order. A sub-folder
    // that vanishes while it is read is left out. Throws FileSystemError when the
    // folder itself cannot be read.
    virtual std::vector<SubFolder> subFolders(const std::filesystem::path &folder) = 0;

    // Copies the folder `source` with everything below it to `destination`, the folder's
    // new path; same-named files there are replaced when `overwrite` is true, everything
    // else there stays. Throws CopyError at the first failure; copies made until then
    // stay. Reports the special files (FIFOs, sockets, devices) it left out.
    virtual CopyReport copyFolder(const std::filesystem::path &source,
                                  const std::filesystem::path &destination, bool overwrite)
        = 0;
};
