#pragma once

#include "engine/system_calls.h"

#include <atomic>
#include <functional>
#include <thread>

// The real calls on a slow drive, the one way the tests slow a copy down: each step of file
// data takes `perByte` for every byte asked, after `beforeStep`, and so does each read; while
// `holdFlush` is set, the flush waits, as one onto a slow drive does.
struct SlowCalls : SystemCalls
{
    std::chrono::nanoseconds perByte { 0 };
    // clang-format off
    std::function<void()> beforeStep = [] { };
    std::atomic_bool holdFlush = false;

    Result<std::size_t> copyData(int from, int to, std::uint64_t at, std::size_t length,
                                 DataCopyMethod &method, bool &whileWriting) override
    { beforeStep();
      std::this_thread::sleep_for(perByte * length);
      return SystemCalls::copyData(from, to, at, length, method, whileWriting); }
    // Reads too, as the check of the copies makes them.
    Result<std::size_t> readAt(int fd, char *buffer, std::size_t length, std::uint64_t offset) override
    { std::this_thread::sleep_for(perByte * length); return SystemCalls::readAt(fd, buffer, length, offset); }
    std::error_code flushFileSystem(int fd) override
    { while (holdFlush)
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return SystemCalls::flushFileSystem(fd); }
    // clang-format on
};
