#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// What a running copy tells its owner, and how the owner stops it. Called on the thread
// that copies.
class CopyMonitor
{
public:
    virtual ~CopyMonitor() = default;
    // Checked between entries and between chunks of a file's data (so a stop takes effect
    // within a fraction of a second even inside a large file). Once true the copy removes
    // the file it was writing and throws stopAt().
    virtual bool stopRequested() const = 0;
    // Returns at once unless the run is paused; then once it is resumed or a stop is asked
    // for. Every loop over entries or file data waits here between steps, on every thread
    // that copies, so a pause holds them all.
    virtual void waitWhilePaused() const { }
    // What each such loop asks between steps.
    bool stopAfterPause() const
    {
        waitWhilePaused();
        return stopRequested();
    }
    // The data of the source file `source` is about to be copied.
    virtual void fileStarted(const std::filesystem::path &source) = 0;
    // `bytes` more bytes of file offsets are done (holes skipped in a sparse file count too,
    // so the sum over a run equals the sum of the files' sizes).
    virtual void bytesCopied(std::uint64_t bytes) = 0;
    // The file `name` of the source folder `folder` was already up to date at the
    // destination and is left as it is; `bytes` of it are done that bytesCopied() has not
    // told. Named in parts: files are found up to date by the thousand a second, and only a
    // few of them are ever shown.
    virtual void fileUpToDate([[maybe_unused]] const std::filesystem::path &folder,
                              [[maybe_unused]] const std::string &name, std::uint64_t bytes)
    {
        bytesCopied(bytes);
    }
};

// For a run that nobody stops or watches.
class SilentCopyMonitor : public CopyMonitor
{
public:
    bool stopRequested() const override { return false; }
    void fileStarted(const std::filesystem::path &) override { }
    void bytesCopied(std::uint64_t) override { }
};
