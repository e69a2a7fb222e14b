#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

// The day count as the days field holds it: decimal digits, or nothing.

inline constexpr std::int64_t kMaxDayCount = 1000000;

// The value of an all-digit text; an empty text counts as 0. A value too large for
// any clock saturates, which still reads as "above the cap". Nullopt for anything
// that is not all digits.
std::optional<std::int64_t> dayCountValue(QStringView text);

// The text the days field shows instead of `text` when that is above the cap: "999999",
// while 1,000,000 itself stays. Nothing when `text` stays as it is.
std::optional<QString> cappedDayCount(QStringView text);

// Whether a key typed into the days field reaches it, by the character it types: only the
// digits, backspace (8) and the delete character (127). Cut, paste and undo type none of
// them, so they never relist with a count nobody typed.
bool dayCountKeyPasses(char16_t typed);
