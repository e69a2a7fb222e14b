#include "in_flight_limit.h"

#include <algorithm>

namespace {

// A doubling pays when it brings at least this much more; less is noise, or a drive that
// merely keeps up.
constexpr double kClearGain = 1.15;
// A settled rate that falls below this share means the drive changed.
constexpr double kFallen = 0.6;
// Measurements at a settled limit before one more doubling is tried.
constexpr unsigned kRetryAfter = 16;
// The share of the cores in use from which the processor is taken to set the pace.
constexpr double kBusy = 0.75;

} // namespace

InFlightLimit::InFlightLimit(unsigned most, unsigned cores)
    : m_most(std::max(most, 1U))
    , m_cores(std::max(cores, 1U))
{ }

std::uint64_t InFlightLimit::filesPerMeasurement() const
{
    return std::max<std::uint64_t>(16, 4 * std::uint64_t(m_limit));
}

void InFlightLimit::measured(std::uint64_t files, std::chrono::nanoseconds took, double busyCores)
{
    const double seconds = std::max(std::chrono::duration<double>(took).count(), 1e-9);
    const double rate = double(files) / seconds;
    if (m_before != 0) {
        // The answer to the last doubling.
        if (rate >= m_rateBefore * kClearGain) {
            if (mayRaise(busyCores)) {
                m_rateBefore = rate;
                raise();
                return;
            }
            m_settledRate = rate;
        } else {
            m_limit = m_before;
            m_settledRate = m_rateBefore;
        }
        m_before = 0;
        m_settledMeasurements = 0;
        return;
    }
    if (m_settledRate == 0) { // the first measurement, at one file in flight
        m_rateBefore = rate;
        if (mayRaise(busyCores))
            raise();
        return;
    }
    if (rate < m_settledRate * kFallen) {
        // Found again from the start, down as well as up.
        m_limit = 1;
        m_settledRate = 0;
        m_settledMeasurements = 0;
        m_rateBefore = 0;
        return;
    }
    if (++m_settledMeasurements >= kRetryAfter && mayRaise(busyCores)) {
        m_settledMeasurements = 0;
        m_rateBefore = rate;
        raise();
    }
}

bool InFlightLimit::mayRaise(double busyCores) const
{
    return m_limit < m_most && (m_limit < m_cores || busyCores < kBusy * m_cores);
}

void InFlightLimit::raise()
{
    m_before = m_limit;
    m_limit = std::min(m_limit * 2, m_most);
}
