#include "day_count.h"

#include <algorithm>

namespace {
// Far above the cap yet safe to multiply by ten once more.
constexpr std::int64_t kSaturated = std::int64_t(1) << 40;
} // namespace

std::optional<std::int64_t> dayCountValue(QStringView text)
{
    std::int64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = std::min(kSaturated, value * 10 + (c.unicode() - '0'));
    }
    return value;
}

bool dayCountKeyPasses(char16_t typed)
{
    return (typed >= u'0' && typed <= u'9') || typed == 8 || typed == 127;
}

std::optional<QString> cappedDayCount(QStringView text)
{
    const std::optional<std::int64_t> value = dayCountValue(text);
    if (value && *value > kMaxDayCount)
        return QStringLiteral("999999");
    return std::nullopt;
}
