#include "selection_summary.h"

#include "folder_choice/path_rules.h"
#include "listing/subfolder_list_model.h"

#include <QItemSelectionModel>

#include <algorithm>

QString selectionCounterText(qsizetype selected, qsizetype listed)
{
    return QString::number(selected) + QLatin1Char('/') + QString::number(listed)
        + QStringLiteral(" Folders");
}

bool copyAllowed(qsizetype selected, QStringView sourceField, QStringView destinationField)
{
    return selected > 0 && isPathFieldFilled(destinationField) && isPathFieldFilled(sourceField);
}

std::vector<std::filesystem::path> selectedNames(const QItemSelectionModel &selection)
{
    QModelIndexList rows = selection.selectedRows();
    std::sort(rows.begin(), rows.end());
    std::vector<std::filesystem::path> names;
    names.reserve(std::size_t(rows.size()));
    for (const QModelIndex &row : rows)
        names.push_back(row.data(SubFolderListModel::NameRole).value<std::filesystem::path>());
    return names;
}
