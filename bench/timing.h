#pragma once

#include <chrono>
#include <functional>
#include <vector>

using Duration = std::chrono::duration<double, std::milli>;

// The middle of the samples (the mean of the two middle ones for an even count).
Duration median(std::vector<Duration> samples);

// Wall-clock time of one call.
Duration timeOnce(const std::function<void()> &work);

// Two contenders timed in turns, so that drift of the machine (other jobs, the cache,
// the CPU clock) falls on both alike. Each round runs one contender's prepare (untimed) and
// run, then the other's; they take the lead in turns, so that neither always runs after the
// other's work (the files it left to delete, its writes to be flushed). One warm-up round is
// run and discarded.
struct PairTiming
{
    std::vector<Duration> first;
    std::vector<Duration> second;
};

struct Contender
{
    // Returns the time to count; most contenders are timed with timeOnce, while a
    // child process reports its own spawn-to-exit time.
    std::function<Duration()> run;
    std::function<void()> prepare = [] {
    };
};

PairTiming timeInTurns(const Contender &first, const Contender &second, int rounds);
