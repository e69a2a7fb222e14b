#pragma once

#include "copy/copy_monitor.h"

#include <cstdint>
#include <functional>

// Adds up what a copy reports and asks to stop once `stopAfterBytes` bytes are done.
struct RecordingMonitor : CopyMonitor
{
    std::uint64_t bytes = 0;
    std::uint64_t stopAfterBytes = UINT64_MAX;
    std::function<void()> onFile; // runs as each file starts

    bool stopRequested() const override { return bytes >= stopAfterBytes; }
    void fileStarted(const std::filesystem::path &) override
    {
        if (onFile)
            onFile();
    }
    void bytesCopied(std::uint64_t count) override { bytes += count; }
};
