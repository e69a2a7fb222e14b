#pragma once

// The core's view of the outside world, on Qt Core and the engine (engine/) beneath it:
// the file system behind one interface, the clock, and the conversions between the paths
// the file system uses and the texts the window shows. Nothing here links widgets.

#include "engine/copy_session.h"
#include "engine/inside_look.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

// One immediate sub-folder as the file system reports it. The name is kept as raw
// path bytes so that names which are not valid UTF-8 survive untouched.
struct SubFolder
{
    std::filesystem::path name;
    std::int64_t modifiedSecs = 0; // last modification, whole seconds since the Unix epoch
    FileIdentity identity {}; // what a look inside it later must still find there
};

// Everything the program asks of the file system. Production code uses LocalFileSystem;
// tests pass a fake. Failures are thrown as the engine's Failure.
class FileSystemService
{
public:
    virtual ~FileSystemService() = default;

    // True exactly when a folder exists at the path (a link to a folder counts).
    virtual bool folderExists(const std::filesystem::path &path) = 0;

    // The folder's immediate sub-folders, in the order the system lists them. A sub-folder
    // that vanishes while it is read is left out. Throws when the folder cannot be read.
    virtual std::vector<SubFolder> subFolders(const std::filesystem::path &folder) = 0;

    // What is inside `folder`, which the listing found as `identity` (see lookInside() of
    // the engine). May run on several threads at once; throws stopAt() once `stop` is set.
    virtual InsideTotals lookInside(const std::filesystem::path &folder,
                                    const FileIdentity &identity, const std::atomic_bool &stop)
        = 0;

    // Whether the drive that holds `folder` answers each call after a round trip (a share, a
    // FUSE drive), where more looks at once pay. False when that cannot be told.
    virtual bool answersAfterRoundTrips(const std::filesystem::path &folder) = 0;

    // Opens the destination folder for one run (CopySession): the count, the copies, the
    // check that it is still attached and the flush go through it. Throws Failure when the
    // folder cannot be opened.
    virtual std::unique_ptr<CopySession> holdDestination(const std::filesystem::path &destination)
        = 0;

    // Where the folder at `path` is now (a link there followed), or nothing when there is none.
    virtual std::optional<FolderPlace> folderPlace(const std::filesystem::path &path) = 0;

    // Bytes an unprivileged user may still write on the file system that holds `folder`.
    virtual std::uint64_t freeBytes(const std::filesystem::path &folder) = 0;
};
