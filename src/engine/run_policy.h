#pragma once

#include "failure.h"

// Which failures end a whole run, and which only the entry they happened to. An entry that
// cannot be read, named or held is a problem of that entry and the run goes on; a stop
// asked for, and a destination that is full, read-only, failing or gone, end the run,
// since every entry after it would fail the same way.
bool stopsRun(const Failure &failure);

// Whether the destination is out of room: a file's data cannot land there, but metadata
// refused for want of a block leaves the data whole.
bool isDestinationFull(std::error_code code);
