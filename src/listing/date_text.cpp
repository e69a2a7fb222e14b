#include "date_text.h"

#include <QDateTime>

namespace {

// The short date with every year field widened to four digits. Quoted literal text
// is left alone.
QString fourDigitYearDate(const QString &shortDate)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < shortDate.size();) {
        const QChar c = shortDate.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            result += c;
            ++i;
            continue;
        }
        if (!quoted && c == QLatin1Char('y')) {
            qsizetype run = 0;
            while (i + run < shortDate.size() && shortDate.at(i + run) == QLatin1Char('y'))
                ++run;
            result += QStringLiteral("yyyy");
            i += run;
            continue;
        }
        result += c;
        ++i;
    }
    return result;
}

} // namespace

DateTextFormat::DateTextFormat(const QLocale &locale)
    : m_locale(locale)
{
    if (locale.language() == QLocale::C)
        m_pattern = QStringLiteral("dd/MM/yyyy HH:mm:ss");
    else
        m_pattern = fourDigitYearDate(locale.dateFormat(QLocale::ShortFormat))
            + QStringLiteral(" HH:mm:ss");
}

QString DateTextFormat::text(std::int64_t secsSinceEpoch) const
{
    return m_locale.toString(QDateTime::fromSecsSinceEpoch(secsSinceEpoch), m_pattern);
}
