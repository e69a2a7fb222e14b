#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

// Turns a modification time into the text the listing shows: the locale's short date
// with a four-digit year, a space, and the 24-hour time with seconds. The C locale has
// no regional format of its own and gets dd/MM/yyyy HH:mm:ss, which fills the date
// column exactly.
class DateTextFormat
{
public:
    explicit DateTextFormat(const QLocale &locale = QLocale::system());

    QString text(std::int64_t secsSinceEpoch) const;

private:
    QLocale m_locale;
    QString m_pattern;
};
