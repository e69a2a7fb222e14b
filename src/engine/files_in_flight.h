#pragma once

#include "in_flight_limit.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

// Runs the copies of files, of one folder or of several, as many at once as its InFlightLimit
// finds worth it: at one, each on the caller's thread as it is handed in, as a copy without
// threads would; above one, on threads of its own while the caller goes on. A job that
// throws stops the rest: no job is started after it, those in flight are asked to end
// (stopping()), and wait() throws what the first one threw.
class FilesInFlight
{
public:
    explicit FilesInFlight(unsigned most = 32);
    ~FilesInFlight();
    FilesInFlight(const FilesInFlight &) = delete;
    FilesInFlight &operator=(const FilesInFlight &) = delete;

    // Runs `job`, a copy into `folder`, after waiting while as many as the limit are in
    // flight and as many more wait. Of the jobs waiting, the first of the folder with the
    // fewest in flight goes next. Does nothing once a job failed.
    void run(std::function<void()> job, const void *folder = nullptr);
    // Returns once every job handed in has ended; throws the first failure of one.
    void wait();
    // For a caller that leaves on a failure of its own: drops the jobs not started, asks
    // those in flight to end, and returns once they have, with the failure of a job if one
    // failed.
    std::exception_ptr abandon();
    // A job failed: those in flight end early.
    bool stopping() const;
    // No job handed in is waiting or in flight.
    bool idle() const;
    // From now on at most `most` in flight, the limit found anew: for a comparison with a
    // fixed number (at one, a copy without threads).
    void limitTo(unsigned most);
    // The most files in flight at once so far, and the limit now.
    unsigned mostInFlight() const;
    unsigned limit() const;

private:
    struct Waiting
    {
        std::function<void()> job;
        const void *folder;
    };
    // Jobs handed in beyond the limit, so that the next folders' files are at hand.
    static constexpr unsigned kMostWaiting = 256;
    // How many may be handed in at once after a wait for room.
    static constexpr unsigned kRefill = 64;
    static constexpr std::chrono::milliseconds kShortestMeasurement { 20 };

    void serve();
    // With the lock held.
    Waiting takeJob();
    // With the lock held: whether the caller may hand in `refill` more jobs (one at a time at
    // a limit of one, where each runs as it is handed in).
    bool hasRoom(unsigned refill) const;
    void addThreadIfDue();
    // With the lock held.
    void finished(std::exception_ptr failure);
    void runHere(const std::function<void()> &job);

    mutable std::mutex m_mutex;
    // Threads wait for a job, the caller (run(), wait(), abandon()) for jobs to end.
    std::condition_variable m_jobReady;
    std::condition_variable m_callerMayGoOn;
    InFlightLimit m_limit;
    std::deque<Waiting> m_waiting;
    std::unordered_map<const void *, unsigned> m_runningIn; // by folder
    unsigned m_running = 0;
    std::vector<std::thread> m_threads;
    unsigned m_inFlight = 0; // running or waiting
    unsigned m_most = 0;
    bool m_quit = false;
    bool m_abandoned = false;
    std::exception_ptr m_failure;
    // The measurement under way: files finished since it began.
    std::uint64_t m_finished = 0;
    std::chrono::steady_clock::time_point m_since = std::chrono::steady_clock::now();
    std::clock_t m_processorTimeSince = std::clock(); // of the whole process
};
