#pragma once

#include <QString>

// The fixed-column line that the display list shows for one sub-folder: name field,
// date field, attribute text and a right-aligned size field, one space between each.
// name and date come back holding the fitted name field and the padded date field.
QString formatListLine(QString &name, int width, const QString &size, QString &date,
                       const QString &attributes);

// The text right-aligned in a field of 13 characters.
QString padSize(const QString &text);

// Columns of the name field in every line the listing builds.
inline constexpr int kListNameWidth = 47;
