#pragma once

#include "listing/date_text.h"
#include "platform/file_system_service.h"

#include <QAbstractListModel>

#include <filesystem>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

Q_DECLARE_METATYPE(std::filesystem::path)

// The source's sub-folders, a row for each one changed after the cutoff: by its own
// modification time, or by the newest change a look found inside it. Rows are in name
// order. A look's totals for a sub-folder update its row, or insert it at its place when
// only they make it recent, so that a view's selection stays what the user made it. The
// totals are kept by device and inode across listings: a new listing of the same folders
// shows at once what was last found.
//
// The display text is the fixed-column line, made only when a view asks for a row, so a
// listing of a hundred thousand folders costs the lines on screen and not one for every row.
class SubFolderListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        NameRole = Qt::UserRole + 1, // the raw name, a std::filesystem::path
    };
    using Folders = std::shared_ptr<const std::vector<SubFolder>>;

    explicit SubFolderListModel(QObject *parent = nullptr);

    // Every sub-folder the scan found, in the order the system gives them, with the cutoff
    // in seconds since the epoch; none is selected afterwards.
    void setListing(std::vector<SubFolder> folders,
                    std::int64_t cutoff = std::numeric_limits<std::int64_t>::min());
    void clear();
    // What a look found inside scannedFolders()[index].
    void setInside(qsizetype index, const InsideTotals &totals);

    // The listing's sub-folders, shared with a look, which may outlive the listing.
    const Folders &scannedFolders() const { return m_scanned; }
    // Their indexes, those nothing is known of yet first, so that a look started anew while
    // typing reaches them soonest.
    const std::vector<std::size_t> &lookOrder() const { return m_lookOrder; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    bool isShown(const SubFolder &folder, const InsideTotals *inside) const;

    Folders m_scanned;
    std::vector<const InsideTotals *> m_inside; // in m_known, or none
    std::vector<std::size_t> m_rows; // the scanned index of each row, in name order
    std::vector<QString> m_rowKeys; // folderNameKey() of each row, to place more
    std::vector<std::size_t> m_lookOrder;
    std::int64_t m_cutoff = 0;
    std::unordered_map<FileIdentity, InsideTotals> m_known;
    DateTextFormat m_dateFormat;
};
