#pragma once

#include "data_copy_step.h"

#include <cstdint>

class CopyMonitor;
class StreamHash;
class SystemCalls;

// Copies the first `size` bytes of `from` (its size when it was opened: a file that grows
// meanwhile is not chased) into the empty file `to`, in chunks, through `calls`. Holes stay
// holes where `from` may have some; `to` ends up `size` bytes long, or as long as `from`
// turned out to be if it shrank. Between chunks it asks `monitor` whether to stop and tells
// it the bytes done, holes included. Throws Failure on the side that failed, or the stop.
// With `hash`, the data passes through a buffer of our own to be hashed as it is written
// (holes as the zeros they read back as), whatever `method` says; a large file without holes
// is copied by `method` and hashed behind the copy from what `to` holds, which must then be
// open for reading too.
void copyFileData(SystemCalls &calls, int from, int to, std::uint64_t size, bool mayHaveHoles,
                  CopyMonitor &monitor, DataCopyMethod method = DataCopyMethod::CopyFileRange,
                  StreamHash *hash = nullptr);

// Whether the first `size` bytes of `first` and `second` are the same, read in chunks sized
// as copyFileData() sizes them (at most a few MiB, which both are read into). Between chunks
// it asks `monitor` whether to stop and tells it the bytes compared. Throws Failure on the
// side that could not be read (`second` is the destination's), or the stop.
bool sameFileData(SystemCalls &calls, int first, int second, std::uint64_t size,
                  CopyMonitor &monitor);
