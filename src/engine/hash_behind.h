#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

class StreamHash;
class SystemCalls;

// Hashes a copy's data behind the copy, on a thread of its own, while the kernel copies the
// next chunk: the bytes written are read back from memory, where they are until the flush,
// so that a large file keeps its in-kernel copy and the hashing takes the other core (a copy
// through a buffer of our own, to hash it, took 1.8 times as long). What is hashed is what
// the copy holds, as the check after the flush compares it with what the drive gives back.
// The copy must be open for reading too.
class HashBehind
{
public:
    HashBehind(SystemCalls &calls, int copy, StreamHash &hash);
    // Stops hashing (a copy given up) and waits for the thread.
    ~HashBehind();
    HashBehind(const HashBehind &) = delete;
    HashBehind &operator=(const HashBehind &) = delete;

    // The copy holds its data up to `end`.
    void written(std::uint64_t end);
    // Waits until everything written is hashed; throws Failure on the destination's side
    // where the copy could not be read.
    void finish();

private:
    void hashWritten();

    SystemCalls &m_calls;
    const int m_copy;
    StreamHash &m_hash;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_written = 0;
    bool m_ended = false; // finish() or the destructor: nothing more is written
    std::error_code m_error;
    std::thread m_thread; // last: started once the rest is ready
};
