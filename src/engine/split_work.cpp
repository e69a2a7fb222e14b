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
    if (!m_thread.joinable())
        m_thread = std::thread([this] { serve(); });
    const std::size_t half = count / 2;
    {
        const std::lock_guard lock(m_mutex);
        m_work = &work;
        m_from = half;
        m_to = count;
    }
    m_changed.notify_all();
    for (std::size_t i = 0; i < half; ++i)
        work(i);
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_work == nullptr; });
}

void SplitWork::serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_quit || m_work != nullptr; });
        if (m_quit)
            return;
        const std::function<void(std::size_t)> &work = *m_work;
        const std::size_t from = m_from, to = m_to;
        lock.unlock();
        for (std::size_t i = from; i < to; ++i)
            work(i);
        lock.lock();
        m_work = nullptr;
        m_changed.notify_all();
    }
}
