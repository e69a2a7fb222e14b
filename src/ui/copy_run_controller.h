#pragma once

#include "copy/copy_run.h"

#include <QObject>
#include <QPointer>
#include <QThread>

class CopyProgressDialog;
class MessageBoxService;
class Notifier;
class QWidget;

// Drives one copy at a time for the window: the confirmation, a CopyRun on a worker
// thread, the "Copying" dialog, the free-space question, the closing messages and a
// desktop notice of the end when the window is not in front. The
// window only hears the progress line's texts and when a run starts and ends.
class CopyRunController : public QObject
{
    Q_OBJECT

public:
    CopyRunController(FileSystemService &fileSystem, MessageBoxService &messageBox,
                      Notifier &notifier, QWidget *dialogParent);
    ~CopyRunController() override;

    // Asks to confirm, naming the destination as its field shows it, then copies on the
    // worker thread; returns at once.
    void start(CopyRequest request, const QString &destinationField);
    bool isRunning() const { return m_running; }
    // Whether the run is at its final flush, which cannot be interrupted.
    bool isFlushing() const { return m_flushing; }
    // Stops a run the way Cancel does; runningChanged(false) follows when it has ended.
    // At the final flush the run ends when the flush does.
    void requestStop();
    // The same when the program is closing: no message waits for an answer at the end.
    void stopQuietly();

signals:
    void progressLineChanged(const QString &text);
    void runningChanged(bool running);

private:
    void connectRun();
    void copyCounted(quint64 bytesToWrite, quint64 freeBytes, quint64 bytesThere);
    void setRunning(bool running);
    // Tells the desktop how the run ended (`ending`, the progress line's last text), unless
    // the window or its dialog is in front or the program is closing.
    void noticeEnd(const QString &summary, const QString &ending);

    MessageBoxService &m_messageBox;
    Notifier &m_notifier;
    QWidget *m_dialogParent;
    QThread m_thread;
    CopyRun *m_run; // lives on m_thread
    QPointer<CopyProgressDialog> m_dialog;
    bool m_running = false;
    bool m_flushing = false;
    bool m_quiet = false;
};
