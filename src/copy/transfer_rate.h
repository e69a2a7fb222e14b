#pragma once

#include <QString>

#include <cstdint>

// "12.3 MB/s, about 2 min left" from the bytes done so far, the total and the time the
// copy has run; empty until there is enough to go on.
QString rateText(std::uint64_t bytesDone, std::uint64_t bytesTotal, std::int64_t elapsedMs);
