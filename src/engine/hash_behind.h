#pragma once

#include <atomic>
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
    // Waits until more is written than `hashed`, or nothing more will be. The next chunk
    // of a copy from memory comes within a fraction of a millisecond, sooner than a thread
    // put to sleep wakes on a virtual machine (a wake-up a chunk cost the copy 4-5 %): the
    // wait yields the processor for a while before it sleeps.
    void waitForMore(std::uint64_t hashed);
    void stop(std::error_code error);

    SystemCalls &m_calls;
    const int m_copy;
    StreamHash &m_hash;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<std::uint64_t> m_written = 0;
    std::atomic_bool m_ended = false; // finish() or the destructor: nothing more is written
    std::atomic_bool m_asleep = false; // a wait that needs waking
    std::error_code m_error; // under the mutex
    std::atomic_bool m_failed = false; // m_error is set
    std::thread m_thread; // last: started once the rest is ready
};
