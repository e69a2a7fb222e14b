#include "list_line.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kDateWidth = 19;
constexpr int kSizeWidth = 13;
// A shortened name keeps its tail, which often tells versions or dates apart.
constexpr int kKeptTail = 6;
constexpr int kEllipsisAndTail = 9;

QString fitName(const QString &name, int width)
{
    if (name.size() > width) {
        // Widths below 9 leave no room for a head; keep as much of the tail as fits.
        const qsizetype head = std::max(0, width - kEllipsisAndTail);
        const QString tail = name.right(std::min<qsizetype>(kKeptTail, std::max(0, width - 3)));
        const QString fitted = name.left(head) + QStringLiteral("...") + tail;
        return fitted.left(std::max(0, width));
    }
    return name + QString(width - name.size(), QLatin1Char(' '));
}

// "##,##0": a whole number with the user's group separator. A size that is not a
// number is shown as given.
QString formatSize(const QString &size)
{
    if (size.isEmpty())
        return {};
    bool ok = false;
    const double value = size.toDouble(&ok);
    if (!ok)
        return size;
    return QLocale::system().toString(static_cast<qlonglong>(std::llround(value)));
}

} // namespace

QString formatListLine(QString &name, int width, const QString &size, QString &date,
                       const QString &attributes)
{
    name = fitName(name, width);
    if (date.size() < kDateWidth)
        date += QString(kDateWidth - date.size(), QLatin1Char(' '));
    const QLatin1Char space(' ');
    return name + space + date + space + attributes + space + padSize(formatSize(size));
}

QString sizeText(std::uint64_t bytes, bool complete, const QLocale &locale)
{
    // The C locale would leave the groups out; every other one has its own separator.
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    // A total that reached the largest count stopped there: there is more than it says.
    const QLatin1Char mark(complete && bytes != UINT64_MAX ? ' ' : '+');
    QString text;
    std::uint64_t unitBytes = 1024;
    for (const char *unit : { "KB", "MB", "GB", "TB", "PB" }) {
        const std::uint64_t amount = bytes / unitBytes + (bytes % unitBytes != 0 ? 1 : 0);
        text = grouped.toString(qulonglong(amount)) + QLatin1Char(' ') + QLatin1String(unit) + mark;
        if (text.size() <= kSizeWidth)
            break;
        unitBytes *= 1024;
    }
    return text;
}

QString padSize(const QString &text)
{
    // A text longer than the field is shown whole rather than cut.
    return QString(std::max<qsizetype>(0, kSizeWidth - text.size()), QLatin1Char(' ')) + text;
}
