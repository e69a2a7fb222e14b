#include "files_in_flight.h"

#include <algorithm>
#include <ctime>
#include <utility>

FilesInFlight::FilesInFlight(unsigned most)
    : m_limit(most)
{ }

void FilesInFlight::limitTo(unsigned most)
{
    const std::lock_guard lock(m_mutex);
    m_limit = InFlightLimit(most);
}

FilesInFlight::~FilesInFlight()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_jobReady.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void FilesInFlight::run(std::function<void()> job, const void *folder)
{
    std::unique_lock lock(m_mutex);
    // At one in flight nothing waits: each job runs as it is handed in. Above, jobs of the
    // folders ahead wait, so that files of several folders can be in flight at once.
    // Once full, the caller waits until a batch has drained: woken for every job that ends,
    // it would cost each file a wake-up more.
    if (!hasRoom(0))
        m_callerMayGoOn.wait(lock, [this] { return m_failure || hasRoom(kRefill); });
    if (m_failure)
        return;
    ++m_inFlight;
    if (m_limit.limit() == 1 && m_inFlight == 1) {
        ++m_running;
        m_most = std::max(m_most, m_running);
        lock.unlock();
        runHere(job);
        return;
    }
    m_waiting.push_back({ std::move(job), folder });
    addThreadIfDue();
    m_jobReady.notify_one();
}

bool FilesInFlight::hasRoom(unsigned refill) const
{
    const unsigned limit = m_limit.limit();
    return m_inFlight + (limit == 1 ? 0 : refill) < (limit == 1 ? 1 : limit + kMostWaiting);
}

void FilesInFlight::addThreadIfDue()
{
    // A thread for each job that may run now; they stay until the end.
    const std::size_t due = std::min<std::size_t>(m_limit.limit(), m_running + m_waiting.size());
    while (!m_quit && m_threads.size() < due)
        m_threads.emplace_back([this] { serve(); });
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
    --m_running;
    finished(failure);
}

void FilesInFlight::finished(std::exception_ptr failure)
{
    --m_inFlight;
    if (failure && !m_failure)
        m_failure = failure;
    const auto now = std::chrono::steady_clock::now();
    // In memory a few files take microseconds: a rate over so short a time is noise.
    if (++m_finished >= m_limit.filesPerMeasurement() && now - m_since >= kShortestMeasurement) {
        const unsigned before = m_limit.limit();
        const std::clock_t processorTime = std::clock();
        const double busyCores = double(processorTime - m_processorTimeSince) / CLOCKS_PER_SEC
            / std::chrono::duration<double>(now - m_since).count();
        m_limit.measured(m_finished, now - m_since, busyCores);
        m_finished = 0;
        m_since = now;
        m_processorTimeSince = processorTime;
        // A higher limit with jobs waiting needs threads now, not at the next job.
        addThreadIfDue();
        if (m_limit.limit() > before)
            m_jobReady.notify_all();
    }
    // Only the caller waits for a job to end: a thread that ends one takes the next itself.
    // Waking every thread at each end cost dozens of wake-ups a file in memory.
    if (failure || m_inFlight == 0 || hasRoom(kRefill))
        m_callerMayGoOn.notify_all();
}

FilesInFlight::Waiting FilesInFlight::takeJob()
{
    // The first job of the folder with the fewest in flight: a share takes one new name at
    // a time in each folder.
    auto taken = m_waiting.begin();
    unsigned fewest = ~0U;
    const void *counted = nullptr;
    for (auto it = m_waiting.begin(); it != m_waiting.end() && fewest > 0; ++it) {
        // Jobs of one folder come together; its first is the one that would be taken.
        if (it != m_waiting.begin() && it->folder == counted)
            continue;
        counted = it->folder;
        const auto running = m_runningIn.find(it->folder);
        const unsigned count = running == m_runningIn.end() ? 0 : running->second;
        if (count < fewest) {
            fewest = count;
            taken = it;
        }
    }
    Waiting job = std::move(*taken);
    m_waiting.erase(taken);
    ++m_runningIn[job.folder];
    ++m_running;
    m_most = std::max(m_most, m_running);
    return job;
}

void FilesInFlight::serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_jobReady.wait(
            lock, [this] { return m_quit || (!m_waiting.empty() && m_running < m_limit.limit()); });
        if (m_quit)
            return;
        const Waiting job = takeJob();
        lock.unlock();
        std::exception_ptr failure;
        if (!stopping()) {
            try {
                job.job();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        lock.lock();
        --m_running;
        if (--m_runningIn[job.folder] == 0)
            m_runningIn.erase(job.folder);
        finished(failure);
    }
}

void FilesInFlight::wait()
{
    std::unique_lock lock(m_mutex);
    m_callerMayGoOn.wait(lock, [this] { return m_inFlight == 0; });
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}

std::exception_ptr FilesInFlight::abandon()
{
    std::unique_lock lock(m_mutex);
    m_abandoned = true;
    m_inFlight -= unsigned(m_waiting.size());
    m_waiting.clear();
    m_callerMayGoOn.wait(lock, [this] { return m_inFlight == 0; });
    m_abandoned = false;
    return std::exchange(m_failure, nullptr);
}

bool FilesInFlight::stopping() const
{
    const std::lock_guard lock(m_mutex);
    return m_failure || m_abandoned;
}

bool FilesInFlight::idle() const
{
    const std::lock_guard lock(m_mutex);
    return m_inFlight == 0 && m_waiting.empty();
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
