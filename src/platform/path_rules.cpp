#include "path_rules.h"

PathForm nativePathForm()
{
    // The program is built for POSIX systems only; the drive-letter rules stay for the
    // messages the window gives about drives, which are tested through the fakes.
    return PathForm::Posix;
}

QChar pathSeparator(PathForm form)
{
    return form == PathForm::DriveLetter ? QLatin1Char('\\') : QLatin1Char('/');
}

bool needsTrailingSeparator(QStringView folderPath, PathForm form)
{
    // A drive root ("C:\") is the only three-character folder path with drive letters.
    if (form == PathForm::DriveLetter)
        return folderPath.size() > 3;
    return !folderPath.isEmpty() && !folderPath.endsWith(pathSeparator(form));
}

bool isSourcePath(QStringView chosenPath, PathForm form)
{
    // "C:" names no folder; on POSIX "/" is a whole path.
    return form == PathForm::DriveLetter ? chosenPath.size() > 2 : !chosenPath.isEmpty();
}

bool isPathFieldFilled(QStringView fieldText, PathForm form)
{
    return isSourcePath(fieldText, form);
}

bool sourceFieldHoldsPath(QStringView fieldText, PathForm form)
{
    return form == PathForm::DriveLetter ? fieldText.size() > 1 : !fieldText.isEmpty();
}

QString fixedTestFolder(PathForm form)
{
    return form == PathForm::DriveLetter ? QStringLiteral("C:\\test\\") : QStringLiteral("/test/");
}
