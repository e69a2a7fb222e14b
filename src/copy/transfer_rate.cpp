#include "transfer_rate.h"

#include "copy/copy_messages.h"

#include <QCoreApplication>

#include <cmath>

namespace {

// Less than this and the rate says more about the start-up than about the drive.
constexpr std::int64_t kSettleMs = 500;

QString timeLeftText(double seconds)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("CopyRun", text);
    };
    if (seconds < 60)
        return tr("about %1 s left").arg(std::max(1, int(std::ceil(seconds))));
    if (seconds < 3600)
        return tr("about %1 min left").arg(int(std::ceil(seconds / 60)));
    return tr("about %1 h %2 min left")
        .arg(int(seconds / 3600))
        .arg(int(std::fmod(seconds, 3600) / 60));
}

} // namespace

QString rateText(std::uint64_t bytesDone, std::uint64_t bytesTotal, std::int64_t elapsedMs)
{
    if (elapsedMs < kSettleMs || bytesDone == 0)
        return {};
    const double perSecond = double(bytesDone) * 1000.0 / double(elapsedMs);
    const double left = bytesTotal > bytesDone ? double(bytesTotal - bytesDone) / perSecond : 0;
    return sizeText(std::uint64_t(perSecond)) + QStringLiteral("/s, ") + timeLeftText(left);
}
