#pragma once

#include <cstdint>

// How copying one file's data ended: error 0 on success, else the errno value, and
// whether it was the writing side that failed (so the error names the right file).
struct DataCopyResult
{
    int error = 0;
    bool whileWriting = false;
};

// Copies the data of one open file into another. The copy engine goes through this so
// that tests can make a copy fail half-way, as a full disk would.
class FileDataCopy
{
public:
    virtual ~FileDataCopy() = default;

    // Copies from `from`'s current offset to its end into `to` at its current offset.
    // `sizeHint` is the size the source had when it was opened; the copy goes on to
    // the real end of the file if it has grown or shrunk since.
    virtual DataCopyResult copy(int from, int to, std::uint64_t sizeHint) = 0;
};
