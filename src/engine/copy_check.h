#pragma once

#include "copy_report.h"
#include "file_status.h"
#include "stream_hash.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class CopyMonitor;
class SystemCalls;

// A file this run wrote, as written: where it is below the held destination, which file it
// is, and the length and hash of the bytes written into it.
struct WrittenCopy
{
    std::filesystem::path path; // relative to the held destination folder
    FileIdentity identity;
    std::uint64_t size = 0;
    StreamHash::Digest digest {};
};

// What reading the copies back found.
struct CheckReport
{
    std::vector<CopyProblem> problems; // copies that read back otherwise, or not at all
    // The folders of file systems whose copies may have been read from memory: their
    // drivers (FUSE, network shares) do not promise to drop what they hold.
    std::vector<std::filesystem::path> notFromDrive;
    std::size_t checked = 0; // copies read back, well or not
};

// Reads each of `copies` back after the flush and hashes it again: its cached pages are
// dropped first, so that the bytes come from the drive, not from memory. A copy that reads
// back otherwise than it was written, or is no longer the file written, is a problem of
// that entry; so is one that cannot be read. `report` grows as the check goes on. Between
// chunks it asks `monitor` whether to stop (then throws stopAt()) and tells it the bytes
// read; each copy is named to it as it starts.
void checkCopies(SystemCalls &calls, int destination, const std::filesystem::path &destinationPath,
                 const std::vector<WrittenCopy> &copies, CopyMonitor &monitor, CheckReport &report);
