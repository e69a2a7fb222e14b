#include "timing.h"

#include <algorithm>
#include <stdexcept>

Duration median(std::vector<Duration> samples)
{
    if (samples.empty())
        throw std::invalid_argument("median of no samples");
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    if (samples.size() % 2 == 1)
        return samples[middle];
    return (samples[middle - 1] + samples[middle]) / 2;
}

Duration timeOnce(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::steady_clock::now() - start;
}

PairTiming timeInTurns(const Contender &first, const Contender &second, int rounds)
{
    PairTiming timing;
    const auto timed = [](const Contender &contender) {
        contender.prepare();
        return contender.run();
    };
    for (int round = -1; round < rounds; ++round) {
        Duration a, b;
        // The second runs last in the last round: what it left is there to be checked.
        if ((rounds - round) % 2 == 0) {
            b = timed(second);
            a = timed(first);
        } else {
            a = timed(first);
            b = timed(second);
        }
        if (round >= 0) {
            timing.first.push_back(a);
            timing.second.push_back(b);
        }
    }
    return timing;
}
