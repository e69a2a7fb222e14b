#pragma once

#include <QString>

#include <filesystem>

// Conversions between the paths the file system uses and the texts the window shows.
// A path goes to text for display only; a text the user chose goes to a path with the
// platform's own file-name encoding, so the two round-trip for every valid name.
QString pathText(const std::filesystem::path &path);
std::filesystem::path textPath(const QString &text);
