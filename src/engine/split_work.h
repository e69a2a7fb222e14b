#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

// A second thread for work that splits in two: run() does the first half of the items on
// the calling thread and the second half on its own, and returns when both are done. The
// work must not throw. The thread starts with the first run() and ends with the object.
class SplitWork
{
public:
    SplitWork() = default;
    ~SplitWork();
    SplitWork(const SplitWork &) = delete;
    SplitWork &operator=(const SplitWork &) = delete;

    // Calls work(i) for every i in [0, count).
    void run(std::size_t count, const std::function<void(std::size_t)> &work);

private:
    void serve();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<void(std::size_t)> *m_work = nullptr;
    std::size_t m_from = 0;
    std::size_t m_to = 0;
    bool m_quit = false;
    std::thread m_thread;
};
