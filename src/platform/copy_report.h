#pragma once

#include <filesystem>
#include <vector>

// What a folder copy did besides copying: the entries it left out on purpose.
struct CopyReport
{
    // FIFOs, sockets and device files of the source; opening one could block or
    // act on a device, so they are never opened and not copied.
    std::vector<std::filesystem::path> skippedSpecialFiles;
};
