#pragma once

#include "data_copy_step.h"

#include <cstdint>

class CopyMonitor;
class SystemCalls;

// Copies the first `size` bytes of `from` (its size when it was opened: a file that grows
// meanwhile is not chased) into the empty file `to`, in chunks, through `calls`. Holes stay
// holes where `from` may have some; `to` ends up `size` bytes long, or as long as `from`
// turned out to be if it shrank. Between chunks it asks `monitor` whether to stop and tells
// it the bytes done, holes included. Throws Failure on the side that failed, or the stop.
void copyFileData(SystemCalls &calls, int from, int to, std::uint64_t size, bool mayHaveHoles,
                  CopyMonitor &monitor, DataCopyMethod method = DataCopyMethod::CopyFileRange);
