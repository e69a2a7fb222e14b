#pragma once

#include "platform/file_system_service.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The copy run (copy/, core layer on Qt Core): drives the engine for one copy of the
// selected sub-folders and turns its Failure into texts; no widgets.

// What the window asks to copy: the source and destination folders (empty where a field
// is empty), and the selected sub-folders' raw names in list order.
struct CopyRequest
{
    std::filesystem::path source;
    std::filesystem::path destination;
    std::vector<std::filesystem::path> names;
    // Writes files already up to date at the destination again too.
    bool rewriteUpToDate = false;
    // Where the destination was when it was chosen; the run copies only into that folder.
    std::optional<FolderPlace> destinationPlace {};
    // Reads every file written back from the drive after the flush and compares it with
    // what was written.
    bool checkCopies = false;
};

// Where a run stands, for the progress dialog.
struct CopyProgress
{
    QString subFolder;
    int subFolderNumber = 0; // from 1
    int subFolderCount = 0;
    QString file;
    quint64 bytesDone = 0; // those of files already up to date among them
    quint64 bytesTotal = 0;
    // Since the first file's data began to be copied, pauses left out: what the rate is
    // measured over, not the count or the question before it.
    qint64 copyingMs = 0;
    quint64 filesUpToDate = 0;
    quint64 bytesUpToDate = 0; // done without being read
    // Reading the copies back: the bytes are those read of the copies, `file` a copy.
    bool checking = false;
};
Q_DECLARE_METATYPE(CopyProgress)

// One copy of the selected sub-folders, without widgets: it may live on a worker thread,
// where the window drives it by queued calls and hears from it by queued signals.
//
// prepare() refuses a run that could land anywhere but the chosen destination (a folder
// missing, a sub-folder copied into itself), else holds the destination (CopySession) and
// counts what the run will write: refused() or counted(). copy() then copies the
// sub-folders one after the other into the destination held, as long as it is still
// attached where it was chosen, and flushes every file system written: finished(),
// failed() or cancelled(). Nothing in here waits for the user.
class CopyRun : public QObject
{
    Q_OBJECT

public:
    explicit CopyRun(FileSystemService &fileSystem, QObject *parent = nullptr);

    // Safe from any thread: the step under way stops at its next check, within a
    // fraction of a second, and discards the file it was writing.
    void requestStop();
    // Before the next run, from the thread that asks for it: a stop asked for before
    // prepare() starts must still count.
    void clearStop();
    // Safe from any thread: while paused, every step that copies or reads waits before its
    // next chunk or entry, within a fraction of a second; files half-written stay unseen.
    // A stop asked for while paused ends the run as it would otherwise.
    void setPaused(bool paused);

    void prepare(const CopyRequest &request);
    void copy();
    // After counted(), when the copy is not wanted: lets the destination go.
    void abandon();

signals:
    void refused(const QString &message);
    // `bytesThere`: what the destination already holds under the selected names, which the
    // run replaces or leaves as it is; measured only where the free space looks short.
    void counted(quint64 bytesToWrite, quint64 freeBytes, quint64 bytesThere);
    // At most about ten a second.
    void progressed(const CopyProgress &progress);
    void subFolderCopied(const QString &name);
    void flushing();
    // After the flush, when the copies are read back.
    void checking();
    // `notes`: what the check has to say besides its problems, which are the last
    // `notReadBack` of `problems`.
    void finished(const QStringList &problems, const QStringList &notKept, quint64 upToDate,
                  const QStringList &notes = {}, qsizetype notReadBack = 0);
    void failed(const QString &subFolder, const QString &file, const QString &reason);
    void cancelled(const QString &subFolder, const QStringList &copied,
                   const QStringList &notCopied);

private:
    class Monitor;

    // Why the run cannot start; empty when it can.
    QString refusal(const CopyRequest &request);
    QString folderRefusal(const std::filesystem::path &folder, const QString &role);
    QString selfCopyRefusal(const std::filesystem::path &name);
    QString failureText(const Failure &failure, const QString &role);
    void reportCancelled(std::size_t current);
    // Reads the copies back; their problems and notes.
    std::pair<QStringList, QStringList> checkCopies(CopySession &session);

    // The time spent paused so far, the pause under way included.
    std::chrono::steady_clock::duration pausedFor();
    void waitWhilePaused();

    FileSystemService &m_fileSystem;
    std::atomic_bool m_stop = false;
    std::atomic_bool m_paused = false; // read unlocked on each step; changed under m_pauseLock
    std::mutex m_pauseLock;
    std::condition_variable m_pauseEnded;
    std::chrono::steady_clock::time_point m_pausedSince;
    std::chrono::steady_clock::duration m_pausesEnded {}; // the sum of the pauses ended
    std::filesystem::path m_source;
    std::filesystem::path m_destination;
    std::vector<std::filesystem::path> m_names;
    bool m_checkCopies = false;
    std::unique_ptr<CopySession> m_session; // from prepare() to the end of copy()
    quint64 m_bytesTotal = 0;
};
