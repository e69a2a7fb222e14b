#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

// How many files a copy keeps in flight at once, found by trying: a drive behind a network
// or FUSE answers each call after a round trip and copies many small files faster with more
// of them in flight, while a local disk or a USB stick does not (or does worse). The limit
// starts at one and doubles while each doubling raises the files finished per second by a
// clear margin; when one does not, it steps back to the limit before and stays there. A
// rate that falls well below the one settled on starts the search again from one; now and then it
// tries one doubling again, for a drive whose answers changed. It never goes above the number
// of cores while the files in flight keep them busy: then the processor, not the drive, sets
// the pace, and a rate that seems to rise is noise (in memory it climbed to 32 threads on two
// cores, each file then waking many). Plain values in, no clock of its own.
class InFlightLimit
{
public:
    explicit InFlightLimit(unsigned most = 32,
                           unsigned cores = std::max(1U, std::thread::hardware_concurrency()));

    unsigned limit() const { return m_limit; }

    // `files` finished in `took` at the current limit, with `busyCores` cores busy on average
    // (the process's processor time over `took`); the limit may change.
    void measured(std::uint64_t files, std::chrono::nanoseconds took, double busyCores = 0);

    // Files that make one measurement worth its name at the current limit.
    std::uint64_t filesPerMeasurement() const;

private:
    bool mayRaise(double busyCores) const;
    void raise();

    unsigned m_most;
    unsigned m_cores;
    unsigned m_limit = 1;
    unsigned m_before = 0; // the limit before the last doubling, 0 when settled
    double m_rateBefore = 0; // files per second at m_before
    double m_settledRate = 0;
    unsigned m_settledMeasurements = 0;
};
