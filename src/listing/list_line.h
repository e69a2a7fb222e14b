#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

// The fixed-column line that the display list shows for one sub-folder: name field,
// date field, attribute text and a right-aligned size field, one space between each.
// name and date come back holding the fitted name field and the padded date field.
QString formatListLine(QString &name, int width, const QString &size, QString &date,
                       const QString &attributes);

// The text right-aligned in a field of 13 characters.
QString padSize(const QString &text);

// The size field's text for `bytes`: kilobytes of 1024 bytes, rounded up as file managers
// round them, with the locale's group separator, switching to MB, GB, TB and PB where the
// number would not fit; then "+" when not everything could be read or the total saturated at
// the largest count, else a space that keeps the units in line. Never longer than the 13
// columns of the field.
QString sizeText(std::uint64_t bytes, bool complete, const QLocale &locale = QLocale::system());

// Columns of the name field in every line the listing builds, and of the whole line for
// a date text of up to 19 characters.
inline constexpr int kListNameWidth = 47;
inline constexpr int kListLineWidth = kListNameWidth + 1 + 19 + 2 + 13;
