#include "hash_behind.h"

#include "failure.h"
#include "stream_hash.h"
#include "system_calls.h"

#include <algorithm>
#include <memory>

namespace {

// Read in pieces that stay in the processor's cache between the read and the hash.
constexpr std::size_t pieceSize = std::size_t(256) << 10;

} // namespace

HashBehind::HashBehind(SystemCalls &calls, int copy, StreamHash &hash)
    : m_calls(calls)
    , m_copy(copy)
    , m_hash(hash)
    , m_thread([this] { hashWritten(); })
{ }

HashBehind::~HashBehind()
{
    if (!m_thread.joinable()) // finished
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_ended = true;
        m_error = m_error ? m_error : std::make_error_code(std::errc::operation_canceled);
    }
    m_changed.notify_all();
    m_thread.join();
}

void HashBehind::written(std::uint64_t end)
{
    {
        const std::lock_guard lock(m_mutex);
        m_written = std::max(m_written, end);
    }
    m_changed.notify_all();
}

void HashBehind::finish()
{
    {
        const std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_changed.notify_all();
    m_thread.join();
    if (m_error)
        throw Failure(m_error, Side::Destination);
}

void HashBehind::hashWritten()
{
    const auto piece = std::make_unique_for_overwrite<char[]>(pieceSize);
    std::uint64_t hashed = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_error || m_ended || m_written > hashed; });
        if (m_error || (m_ended && m_written == hashed))
            return;
        const std::uint64_t end = m_written;
        lock.unlock();
        std::error_code error;
        while (hashed < end && !error) {
            const std::size_t length
                = std::size_t(std::min<std::uint64_t>(pieceSize, end - hashed));
            const Result<std::size_t> got = m_calls.readAt(m_copy, piece.get(), length, hashed);
            if (!got || *got == 0) {
                // A copy that gives back less than was written into it is not what was written.
                error = got ? std::make_error_code(std::errc::io_error) : got.error();
                break;
            }
            m_hash.add(piece.get(), *got);
            hashed += *got;
        }
        lock.lock();
        if (error && !m_error)
            m_error = error;
    }
}
