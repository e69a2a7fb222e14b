#include "subfolder_list_model.h"

#include "listing/list_line.h"
#include "listing/subfolder_scan.h"
#include "platform/path_text.h"

#include <algorithm>

SubFolderListModel::SubFolderListModel(QObject *parent)
    : QAbstractListModel(parent)
    , m_scanned(std::make_shared<const std::vector<SubFolder>>())
{ }

void SubFolderListModel::setListing(std::vector<SubFolder> folders, std::int64_t cutoff)
{
    beginResetModel();
    m_cutoff = cutoff;
    // What is known of each: a listing of the same folder again (a keystroke) meets the same
    // folders in the same order, and needs no look-up among up to a hundred thousand.
    const std::vector<SubFolder> &last = *m_scanned;
    std::vector<const InsideTotals *> inside(folders.size());
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (i < last.size() && last[i].identity == folders[i].identity) {
            inside[i] = m_inside[i];
        } else {
            const auto found = m_known.find(folders[i].identity);
            inside[i] = found == m_known.end() ? nullptr : &found->second;
        }
        if (isShown(folders[i], inside[i]))
            shown.push_back(i);
    }
    // Only the lines shown now are put in order, as the listing always did; the others
    // find their place when a look makes them recent.
    m_rows = folderNameOrder(folders, std::move(shown), m_rowKeys);
    m_inside = std::move(inside);
    m_lookOrder.clear();
    for (const bool known : { false, true }) {
        for (std::size_t i = 0; i < m_inside.size(); ++i) {
            if (bool(m_inside[i]) == known)
                m_lookOrder.push_back(i);
        }
    }
    m_scanned = std::make_shared<const std::vector<SubFolder>>(std::move(folders));
    endResetModel();
}

void SubFolderListModel::clear()
{
    setListing({});
}

void SubFolderListModel::setInside(qsizetype index, const InsideTotals &totals)
{
    const std::vector<SubFolder> &folders = *m_scanned;
    if (index < 0 || std::size_t(index) >= folders.size())
        return;
    const SubFolder &folder = folders[std::size_t(index)];
    InsideTotals &known = m_known[folder.identity];
    known = totals;
    m_inside[std::size_t(index)] = &known;
    // Where the rows' order puts it, and whether it is there already.
    const QString key = folderNameKey(folder.name);
    const auto before = [&](std::size_t row) {
        return folderNameBefore(m_rowKeys[row], folders[m_rows[row]].name, key, folder.name);
    };
    std::size_t row = 0;
    for (std::size_t count = m_rows.size(); count > 0;) {
        const std::size_t half = count / 2;
        if (before(row + half)) {
            row += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    const bool wasShown = row < m_rows.size() && m_rows[row] == std::size_t(index);
    if (isShown(folder, &known)) {
        if (wasShown) {
            emit dataChanged(this->index(int(row)), this->index(int(row)));
            return;
        }
        beginInsertRows({}, int(row), int(row));
        m_rows.insert(m_rows.begin() + std::ptrdiff_t(row), std::size_t(index));
        m_rowKeys.insert(m_rowKeys.begin() + std::ptrdiff_t(row), key);
        endInsertRows();
    } else if (wasShown) {
        // Only a change set back in time gets here.
        beginRemoveRows({}, int(row), int(row));
        m_rows.erase(m_rows.begin() + std::ptrdiff_t(row));
        m_rowKeys.erase(m_rowKeys.begin() + std::ptrdiff_t(row));
        endRemoveRows();
    }
}

int SubFolderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant SubFolderListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const std::size_t scanned = m_rows[std::size_t(index.row())];
    const SubFolder &folder = (*m_scanned)[scanned];
    switch (role) {
    case Qt::DisplayRole: {
        const InsideTotals *inside = m_inside[scanned];
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

bool SubFolderListModel::isShown(const SubFolder &folder, const InsideTotals *inside) const
{
    return isRecent(folder.modifiedSecs, m_cutoff)
        || (inside && isRecent(inside->newest.secs, m_cutoff));
}
