#include "path_rules.h"

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

QString fixedTestFolder()
{
    return QStringLiteral("/test/");
}
