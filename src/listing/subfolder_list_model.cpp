#include "subfolder_list_model.h"

#include "listing/list_line.h"
#include "listing/subfolder_scan.h"
#include "platform/path_text.h"

#include <algorithm>

SubFolderListModel::SubFolderListModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

void SubFolderListModel::setListing(std::vector<SubFolder> folders, std::int64_t cutoff)
{
    beginResetModel();
    m_scanned = std::move(folders);
    m_cutoff = cutoff;
    m_rows.clear();
    for (std::size_t i = 0; i < m_scanned.size(); ++i) {
        if (isShown(m_scanned[i]))
            m_rows.push_back(i);
    }
    endResetModel();
}

void SubFolderListModel::clear()
{
    setListing({});
}

void SubFolderListModel::setInside(qsizetype index, const InsideTotals &totals)
{
    if (index < 0 || std::size_t(index) >= m_scanned.size())
        return;
    const SubFolder &folder = m_scanned[std::size_t(index)];
    m_known[folder.identity] = totals;
    const auto place = std::lower_bound(m_rows.begin(), m_rows.end(), std::size_t(index));
    const int row = int(place - m_rows.begin());
    const bool wasShown = place != m_rows.end() && *place == std::size_t(index);
    if (isShown(folder)) {
        if (wasShown) {
            emit dataChanged(this->index(row), this->index(row));
            return;
        }
        beginInsertRows({}, row, row);
        m_rows.insert(place, std::size_t(index));
        endInsertRows();
    } else if (wasShown) {
        // Only a change set back in time gets here.
        beginRemoveRows({}, row, row);
        m_rows.erase(place);
        endRemoveRows();
    }
}

std::vector<std::size_t> SubFolderListModel::lookOrder() const
{
    std::vector<std::size_t> order(m_scanned.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_partition(order.begin(), order.end(),
                          [this](std::size_t i) { return !known(m_scanned[i]); });
    return order;
}

int SubFolderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant SubFolderListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SubFolder &folder = m_scanned[m_rows[std::size_t(index.row())]];
    switch (role) {
    case Qt::DisplayRole: {
        const InsideTotals *inside = known(folder);
        QString name = pathText(folder.name);
        QString date = m_dateFormat.text(inside ? std::max(folder.modifiedSecs, inside->newest.secs)
                                                : folder.modifiedSecs);
        return formatListLine(name, kListNameWidth,
                              inside ? sizeText(inside->bytes, inside->complete) : QString(), date,
                              QString());
    }
    case NameRole:
        return QVariant::fromValue(folder.name);
    default:
        return {};
    }
}

const InsideTotals *SubFolderListModel::known(const SubFolder &folder) const
{
    const auto found = m_known.find(folder.identity);
    return found == m_known.end() ? nullptr : &found->second;
}

bool SubFolderListModel::isShown(const SubFolder &folder) const
{
    const InsideTotals *inside = known(folder);
    return isRecent(folder.modifiedSecs, m_cutoff)
        || (inside && isRecent(inside->newest.secs, m_cutoff));
}
