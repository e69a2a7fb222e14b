#include "path_rules.h"

#include "platform/path_text.h"

QString withTrailingSeparator(QString folderPath)
{
    if (!folderPath.isEmpty() && !folderPath.endsWith(QLatin1Char('/')))
        folderPath += QLatin1Char('/');
    return folderPath;
}

bool isPathFieldFilled(QStringView fieldText)
{
    return !fieldText.isEmpty();
}

std::filesystem::path fieldFolderPath(const QString &fieldText)
{
    return textPath(withTrailingSeparator(fieldText));
}
