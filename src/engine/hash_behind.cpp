#include "hash_behind.h"

#include "failure.h"
#include "stream_hash.h"
#include "system_calls.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

// Read in pieces that stay in the processor's cache between the read and the hash, and
// few enough that the calls cost little (256 KiB pieces cost 2-3 % more of the copy's time).
constexpr std::size_t pieceSize = std::size_t(1) << 20;
// Longer than a chunk of a copy from memory takes, short beside one from a drive.
constexpr auto yieldingFor = std::chrono::milliseconds(1);

} // namespace

HashBehind::HashBehind(SystemCalls &calls, int copy, StreamHash &hash)
    : m_calls(calls)
    , m_copy(copy)
    , m_hash(hash)
    , m_thread([this] { hashWritten(); })
{ }

HashBehind::~HashBehind()
{
    if (m_thread.joinable()) // not finished
        stop(std::make_error_code(std::errc::operation_canceled));
}

void HashBehind::stop(std::error_code error)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_error)
            m_error = error;
        m_failed = bool(m_error);
        m_ended = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void HashBehind::written(std::uint64_t end)
{
    if (end <= m_written)
        return;
    m_written = end;
    // Both sides use sequentially consistent order: either the wait sees the new end as it
    // goes to sleep, or this sees it asleep and wakes it.
    if (m_asleep) {
        // Through the lock: a wait about to sleep is asleep by then.
        std::unique_lock lock(m_mutex);
        lock.unlock();
        m_changed.notify_all();
    }
}

void HashBehind::finish()
{
    stop({});
    if (m_error)
        throw Failure(m_error, Side::Destination);
}

void HashBehind::waitForMore(std::uint64_t hashed)
{
    const auto more = [&] {
        return m_written != hashed || m_ended;
    };
    const auto until = std::chrono::steady_clock::now() + yieldingFor;
    while (!more() && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    if (more())
        return;
    std::unique_lock lock(m_mutex);
    m_asleep = true;
    m_changed.wait(lock, more);
    m_asleep = false;
}

void HashBehind::hashWritten()
{
    const auto piece = std::make_unique_for_overwrite<char[]>(pieceSize);
    std::uint64_t hashed = 0;
    for (;;) {
        const std::uint64_t end = m_written;
        if (m_failed || (end == hashed && m_ended && end == m_written))
            return;
        if (end == hashed) {
            waitForMore(hashed);
            continue;
        }
        while (hashed < end && !m_failed) {
            const std::size_t length
                = std::size_t(std::min<std::uint64_t>(pieceSize, end - hashed));
            const Result<std::size_t> got = m_calls.readAt(m_copy, piece.get(), length, hashed);
            if (!got || *got == 0) {
                // A copy that gives back less than was written into it is not what was written.
                const std::lock_guard lock(m_mutex);
                if (!m_error)
                    m_error = got ? std::make_error_code(std::errc::io_error) : got.error();
                m_failed = true;
                return;
            }
            m_hash.add(piece.get(), *got);
            hashed += *got;
        }
    }
}
