#pragma once

#include <filesystem>

// Reads every file below the folder once, so that the timed run that follows finds
// them all in the page cache, whichever tool it is.
void warmPageCache(const std::filesystem::path &folder);

// Writes all dirty pages out and waits, so that one run's write-back does not fall
// into the next run's time.
void flushWrites();

// Drops the clean pages of every file from the page cache, the whole machine's. Needs
// root; throws std::system_error when the kernel refuses.
void dropPageCache();
