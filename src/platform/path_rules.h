#pragma once

#include <QString>
#include <QStringView>

// The few rules about path texts that differ between drive-letter paths ("C:\", "C:\Photos")
// and POSIX paths ("/", "/mnt"). Each takes the form explicitly so both can be tested on
// any machine; nativePathForm() is the form of the machine the program runs on.
enum class PathForm { DriveLetter, Posix };

PathForm nativePathForm();

// "\" or "/".
QChar pathSeparator(PathForm form = nativePathForm());

// Whether a path that classified as an existing folder still needs a separator at its
// end so that a sub-folder name can be appended directly.
bool needsTrailingSeparator(QStringView folderPath, PathForm form = nativePathForm());

// Whether a chosen source path is a path at all, and so goes to the listing; the empty
// text of a cancelled choice is not.
bool isSourcePath(QStringView chosenPath, PathForm form = nativePathForm());

// Whether a path field counts as filled in for the copy button.
bool isPathFieldFilled(QStringView fieldText, PathForm form = nativePathForm());

// Whether the source field holds something an edit of the day count should relist.
bool sourceFieldHoldsPath(QStringView fieldText, PathForm form = nativePathForm());

// The folder a double-click on the source field lists: "test" at the file-system root.
QString fixedTestFolder(PathForm form = nativePathForm());
