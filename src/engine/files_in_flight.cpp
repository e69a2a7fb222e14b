#include "files_in_flight.h"

#include <utility>

FilesInFlight::FilesInFlight(unsigned most)
    : m_limit(most)
{ }

FilesInFlight::~FilesInFlight()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void FilesInFlight::run(std::function<void()> job)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_failure || m_inFlight < m_limit.limit(); });
    if (m_failure)
        return;
    ++m_inFlight;
    m_most = std::max(m_most, m_inFlight);
    if (m_limit.limit() == 1 && m_inFlight == 1) {
        lock.unlock();
        runHere(job);
        return;
    }
    m_waiting.push_back(std::move(job));
    if (m_idle == 0)
        m_threads.emplace_back([this] { serve(); });
    else
        m_changed.notify_all();
}

void FilesInFlight::runHere(const std::function<void()> &job)
{
    std::exception_ptr failure;
    try {
        job();
    } catch (...) {
        failure = std::current_exception();
    }
    const std::lock_guard lock(m_mutex);
    finished(failure);
}

void FilesInFlight::finished(std::exception_ptr failure)
{
    --m_inFlight;
    if (failure && !m_failure)
        m_failure = failure;
    if (++m_finished >= m_limit.filesPerMeasurement()) {
        const auto now = std::chrono::steady_clock::now();
        m_limit.measured(m_finished, now - m_since);
        m_finished = 0;
        m_since = now;
    }
    m_changed.notify_all();
}

void FilesInFlight::serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_changed.wait(lock, [this] { return m_quit || !m_waiting.empty(); });
        --m_idle;
        if (m_waiting.empty())
            return;
        const std::function<void()> job = std::move(m_waiting.front());
        m_waiting.pop_front();
        lock.unlock();
        std::exception_ptr failure;
        if (!stopping()) {
            try {
                job();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        lock.lock();
        finished(failure);
    }
}

void FilesInFlight::wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_inFlight == 0; });
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}

std::exception_ptr FilesInFlight::abandon()
{
    std::unique_lock lock(m_mutex);
    m_abandoned = true;
    m_inFlight -= unsigned(m_waiting.size());
    m_waiting.clear();
    m_changed.wait(lock, [this] { return m_inFlight == 0; });
    m_abandoned = false;
    return std::exchange(m_failure, nullptr);
}

bool FilesInFlight::stopping() const
{
    const std::lock_guard lock(m_mutex);
    return m_failure || m_abandoned;
}

unsigned FilesInFlight::mostInFlight() const
{
    const std::lock_guard lock(m_mutex);
    return m_most;
}

unsigned FilesInFlight::limit() const
{
    const std::lock_guard lock(m_mutex);
    return m_limit.limit();
}
