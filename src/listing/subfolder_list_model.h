#pragma once

#include "listing/date_text.h"
#include "platform/file_system_service.h"

#include <QAbstractListModel>

#include <filesystem>
#include <vector>

Q_DECLARE_METATYPE(std::filesystem::path)

// The listed sub-folders of the source, one row each. The display text is the
// fixed-column line, made only when a view asks for a row, so a listing of a hundred
// thousand folders costs the lines on screen and not one for every row.
class SubFolderListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        NameRole = Qt::UserRole + 1, // the raw name, a std::filesystem::path
    };

    explicit SubFolderListModel(QObject *parent = nullptr);

    void setFolders(std::vector<SubFolder> folders);
    void clear();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::vector<SubFolder> m_folders;
    DateTextFormat m_dateFormat;
};
