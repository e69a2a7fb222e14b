#pragma once

#include <QString>
#include <QStringView>

#include <filesystem>

// The few rules about the path texts the window shows and the copy joins names to.

// The folder path with one trailing separator, so a sub-folder name can follow directly;
// the empty text stays empty.
QString withTrailingSeparator(QString folderPath);

// Whether a path field holds a path at all: a cancelled choice leaves it empty.
bool isPathFieldFilled(QStringView fieldText);

// The folder a path field names, with its trailing separator; empty for an empty field.
std::filesystem::path fieldFolderPath(const QString &fieldText);
