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

// Whether a key typed into the days field reaches it, by the character it types: only the
// digits, backspace (8) and the delete character (127). Cut, paste and undo type none of
// them, so they never relist with a count nobody typed.
bool dayCountKeyPasses(char16_t typed);
