#pragma once

#include "result.h"

#include <string>
#include <vector>

class SystemCalls;

// Files an earlier run left half-written in a destination folder (PendingEntry names them)
// are removed before the folder's files are looked at or written: found again under their
// names, they would stand for files this run wrote.

// The stale files of the open destination folder `folder`. Only reads: it may run on
// another thread.
Result<std::vector<std::string>> staleTemporaries(SystemCalls &calls, int folder);

// Removes the `stale` files of `folder` that staleTemporaries() found; whether there were
// any. Throws Failure on the destination side when they could not be listed.
bool removeTemporaries(SystemCalls &calls, int folder, Result<std::vector<std::string>> stale);

// Finds and removes the stale files of `folder` once: when `mayHold` says they may be
// there, which it then no longer does.
void sweepTemporaries(SystemCalls &calls, int folder, bool &mayHold);
