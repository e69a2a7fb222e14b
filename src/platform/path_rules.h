#pragma once

#include <QString>
#include <QStringView>

// The few rules about the path texts the window shows and the copy joins names to.

// The folder path with one trailing separator, so a sub-folder name can follow directly;
// the empty text stays empty.
QString withTrailingSeparator(QString folderPath);

// Whether a path field holds a path at all: a cancelled choice leaves it empty.
bool isPathFieldFilled(QStringView fieldText);

// The folder a double-click on the source field lists: "test" at the file-system root.
QString fixedTestFolder();
