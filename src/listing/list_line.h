#pragma once

#include <QString>

// The fixed-column line that the display list shows for one sub-folder: name field,
// date field, attribute text and a right-aligned size field, one space between each.
// strName and strDate come back holding the fitted name field and the padded date field.
QString FormatListLine(QString &strName, int intWidth, const QString &strSize, QString &strDate,
                       const QString &strAttrib);

// strPad right-aligned in a field of 13 characters.
QString PadNum(const QString &strPad);

// Columns of the name field in every line the listing builds.
inline constexpr int kListNameWidth = 47;
