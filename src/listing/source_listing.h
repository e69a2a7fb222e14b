#pragma once

#include "folder_choice/path_check.h"
#include "listing/subfolder_list_model.h"
#include "listing/subfolder_look.h"

#include <QObject>
#include <QString>

class Clock;

// The listing (listing/, core layer on Qt Core): the scan of the source's sub-folders, the
// fixed-column line, the look inside them and the model the window's list shows.

// What the user is to be told after a listing: nothing, a status message in place of the
// list (the folder is not there), or a warning that the folder cannot be read, in which
// case the last listing, and the look inside it, go on.
struct ListingNotice
{
    enum class Kind { None, Status, Unreadable };
    Kind kind = Kind::None;
    QString text;
};

// The source side of the window, as Qt's file system model owns its gatherer: the source
// folder's path status, the list model and the look inside the listed sub-folders. The
// window hands it the user's choices and shows what it answers; the model is what its list
// views, and lookProgressed() what its progress line says while a look goes on.
class SourceListing : public QObject
{
    Q_OBJECT

public:
    SourceListing(FileSystemService &fileSystem, const Clock &clock, QObject *parent = nullptr);

    SubFolderListModel &model() { return m_model; }

    // What the source button's choice of `picked` comes to: the text the source field is
    // then to show and list, or nothing when the choice was cancelled. The folder's status
    // is kept only with a path that will be shown, so that it always describes the folder
    // the listing names. Throws the engine's Failure when the check fails.
    QString choose(const QString &picked);

    // Lists `folderText`, the source field's text, under the status kept and the day count
    // in `dayCountText` (digits; empty counts as 0). A new listing, an empty one too, ends
    // the look under way and starts its own.
    ListingNotice list(const QString &folderText, QStringView dayCountText);

    // Ends the look under way, before a copy takes the progress line.
    void stopLook() { m_look.stop(); }

signals:
    // "LOOKING INSIDE 12 OF 40 SUB-FOLDERS", then "LOOKED INSIDE 40 SUB-FOLDERS"; once a
    // batch of what the look found, which may have added lines.
    void lookProgressed(const QString &progressLine);

private:
    FileSystemService &m_fileSystem;
    const Clock &m_clock;
    PathStatus m_status = FolderPresent;
    SubFolderListModel m_model;
    SubFolderLook m_look;
};

// The message shown in place of a listing for each status but FolderPresent.
QString folderStatusText(PathStatus status);
