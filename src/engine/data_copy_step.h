#pragma once

#include "result.h"

#include <cstddef>
#include <cstdint>

// Ways of moving file data, fastest first. Each falls back to the next where the kernel
// or file system does not support it.
enum class DataCopyMethod {
    CopyFileRange, // in the kernel, and shared extents where the file system can
    SendFile, // in the kernel
    ReadWrite, // through a buffer of our own
};

// Copies up to `length` bytes of `from` at `offset` to the same offset of `to`. Gives the
// bytes moved, 0 at the source's end, or the error with `whileWriting` telling which file
// failed. Where the kernel refuses `method` for these files, `method` steps down and the
// step is retried. An error of an in-kernel method is retried with plain reads and writes,
// which tell the failing side; so is an end met by an in-kernel method, because some file
// systems report an end too early to copy_file_range and sendfile.
Result<std::size_t> copyDataStep(int from, int to, std::uint64_t offset, std::size_t length,
                                 DataCopyMethod &method, bool &whileWriting);
