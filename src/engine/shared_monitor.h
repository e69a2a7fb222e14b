#pragma once

#include "copy_monitor.h"
#include "files_in_flight.h"

#include <mutex>

// Lets the copies of several files in flight tell one monitor, one call at a time, and
// asks them all to stop as soon as one failed in a way that stops the run.
class SharedMonitor : public CopyMonitor
{
public:
    SharedMonitor(CopyMonitor &owner, const FilesInFlight &files)
        : m_owner(owner)
        , m_files(files)
    { }

    bool stopRequested() const override
    {
        if (m_files.stopping())
            return true;
        const std::lock_guard lock(m_mutex);
        return m_owner.stopRequested();
    }
    // Not under the lock: every file in flight waits on its own thread.
    void waitWhilePaused() const override { m_owner.waitWhilePaused(); }
    void fileStarted(const std::filesystem::path &source) override
    {
        const std::lock_guard lock(m_mutex);
        m_owner.fileStarted(source);
    }
    void bytesCopied(std::uint64_t bytes) override
    {
        const std::lock_guard lock(m_mutex);
        m_owner.bytesCopied(bytes);
    }
    void fileUpToDate(const std::filesystem::path &folder, const std::string &name,
                      std::uint64_t bytes) override
    {
        const std::lock_guard lock(m_mutex);
        m_owner.fileUpToDate(folder, name, bytes);
    }

private:
    CopyMonitor &m_owner;
    const FilesInFlight &m_files;
    mutable std::mutex m_mutex;
};
