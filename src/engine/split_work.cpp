#include "split_work.h"

SplitWork::~SplitWork()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void SplitWork::run(std::size_t count, const std::function<void(std::size_t)> &work)
{
    if (count < kSplitFrom) {
        for (std::size_t i = 0; i < count; ++i)
            work(i);
        return;
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { serve(); });
    {
        const std::lock_guard lock(m_mutex);
        m_work = &work;
        m_count = count;
        m_next = 0;
    }
    m_changed.notify_all();
    takeItems(work, count);
    std::unique_lock lock(m_mutex);
    // All taken before the second thread woke: it need not wake for nothing.
    if (!m_helping)
        m_work = nullptr;
    m_changed.wait(lock, [this] { return m_work == nullptr; });
}

void SplitWork::takeItems(const std::function<void(std::size_t)> &work, std::size_t count)
{
    for (std::size_t i = m_next++; i < count; i = m_next++)
        work(i);
}

void SplitWork::serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_quit || m_work != nullptr; });
        if (m_quit)
            return;
        const std::function<void(std::size_t)> &work = *m_work;
        const std::size_t count = m_count;
        m_helping = true;
        lock.unlock();
        takeItems(work, count);
        lock.lock();
        m_helping = false;
        m_work = nullptr;
        m_changed.notify_all();
    }
}
