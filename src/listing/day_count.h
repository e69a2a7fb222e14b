#pragma once

#include <QStringView>

#include <cstdint>
#include <optional>

// The day count as the days field holds it: decimal digits, or nothing.

inline constexpr std::int64_t kMaxDayCount = 1000000;

// The value of an all-digit text; an empty text counts as 0. A value too large for
// any clock saturates, which still reads as "above the cap". Nullopt for anything
// that is not all digits.
std::optional<std::int64_t> dayCountValue(QStringView text);
