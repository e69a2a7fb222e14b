#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

// A second thread for work that splits in two: run() hands the items out one at a time to
// the calling thread and its own, so that neither waits for the other while items are left
// (items cost unequal amounts), and returns when all are done. The work must not throw.
// The thread starts with the first run() that splits and ends with the object.
class SplitWork
{
public:
    SplitWork() = default;
    ~SplitWork();
    SplitWork(const SplitWork &) = delete;
    SplitWork &operator=(const SplitWork &) = delete;

    // Calls work(i) for every i in [0, count); on the calling thread alone for fewer than
    // kSplitFrom items, which cost less than waking the other thread.
    void run(std::size_t count, const std::function<void(std::size_t)> &work);

    static constexpr std::size_t kSplitFrom = 16;

private:
    void serve();
    // Takes the next item until none is left, on either thread.
    void takeItems(const std::function<void(std::size_t)> &work, std::size_t count);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<void(std::size_t)> *m_work = nullptr;
    bool m_helping = false; // the second thread took the work up
    std::size_t m_count = 0;
    std::atomic<std::size_t> m_next = 0;
    bool m_quit = false;
    std::thread m_thread;
};
