#include "subfolder_list_model.h"

#include "listing/list_line.h"
#include "platform/path_text.h"

SubFolderListModel::SubFolderListModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

void SubFolderListModel::setFolders(std::vector<SubFolder> folders)
{
    beginResetModel();
    m_folders = std::move(folders);
    endResetModel();
}

void SubFolderListModel::clear()
{
    setFolders({});
}

int SubFolderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_folders.size());
}

QVariant SubFolderListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SubFolder &folder = m_folders[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole: {
        QString name = pathText(folder.name);
        QString date = m_dateFormat.text(folder.modifiedSecs);
        return formatListLine(name, kListNameWidth, QString(), date, QString());
    }
    case NameRole:
        return QVariant::fromValue(folder.name);
    default:
        return {};
    }
}
