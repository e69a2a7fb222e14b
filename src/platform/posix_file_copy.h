#pragma once

#include "file_data_copy.h"

#include <cstdint>

// Ways of moving file data, fastest first. Each falls back to the next where the kernel
// or file system does not support it.
enum class DataCopyMethod {
    CopyFileRange, // in the kernel, and shared extents where the file system can
    SendFile, // in the kernel
    ReadWrite, // through a large buffer of our own
};

// Copies `from` from its current offset to its real end into `to`, starting with
// `first` and falling back as needed. `sizeHint` is the size fstat reported; reaching
// the end earlier than that is confirmed with plain reads, because some file systems
// report an end too early to copy_file_range and sendfile.
DataCopyResult copyFileData(int from, int to, std::uint64_t sizeHint,
                            DataCopyMethod first = DataCopyMethod::CopyFileRange);
