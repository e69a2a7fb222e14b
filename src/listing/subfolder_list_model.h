#pragma once

#include "listing/date_text.h"
#include "platform/file_system_service.h"

#include <QAbstractListModel>

#include <filesystem>
#include <limits>
#include <unordered_map>
#include <vector>

Q_DECLARE_METATYPE(std::filesystem::path)

// The source's sub-folders, a row for each one changed after the cutoff: by its own
// modification time, or by the newest change a look found inside it. Rows keep the scan's
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

    explicit SubFolderListModel(QObject *parent = nullptr);

    // Every sub-folder the scan found, in its order, with the cutoff in seconds since the
    // epoch; none is selected afterwards.
    void setListing(std::vector<SubFolder> folders,
                    std::int64_t cutoff = std::numeric_limits<std::int64_t>::min());
    void clear();
    // What a look found inside scanned sub-folder `index`.
    void setInside(qsizetype index, const InsideTotals &totals);

    const std::vector<SubFolder> &scannedFolders() const { return m_scanned; }
    // Scanned sub-folders, those nothing is known of yet first, so that a look started anew
    // while typing reaches them soonest.
    std::vector<std::size_t> lookOrder() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    const InsideTotals *known(const SubFolder &folder) const;
    bool isShown(const SubFolder &folder) const;

    std::vector<SubFolder> m_scanned;
    std::vector<std::size_t> m_rows; // the scan index of each row, ascending
    std::int64_t m_cutoff = 0;
    std::unordered_map<FileIdentity, InsideTotals> m_known;
    DateTextFormat m_dateFormat;
};
