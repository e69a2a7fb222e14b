#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

// A fast 128-bit hash (XXH3) of bytes fed in pieces: what a copy was written with, taken
// as its data streams past, and what it reads back as.
class StreamHash
{
public:
    using Digest = std::array<std::uint64_t, 2>;

    StreamHash();
    ~StreamHash();
    StreamHash(StreamHash &&) noexcept;
    StreamHash &operator=(StreamHash &&) noexcept;

    void add(const char *data, std::size_t size);
    // `size` zero bytes: a hole, which reads back as zeros.
    void addZeros(std::uint64_t size);
    Digest digest() const;
    // The bytes fed so far.
    std::uint64_t bytes() const { return m_bytes; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::uint64_t m_bytes = 0;
};
