#include "copy_run_controller.h"

#include "copy/copy_messages.h"
#include "ui/copy_progress_dialog.h"
#include "ui/message_box_service.h"
#include "ui/notifier.h"

#include <QApplication>

#include <algorithm>

CopyRunController::CopyRunController(FileSystemService &fileSystem, MessageBoxService &messageBox,
                                     Notifier &notifier, QWidget *dialogParent)
    : m_messageBox(messageBox)
    , m_notifier(notifier)
    , m_dialogParent(dialogParent)
    , m_run(new CopyRun(fileSystem))
{
    m_run->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_run, &QObject::deleteLater);
    m_thread.start();
    connectRun();
}

CopyRunController::~CopyRunController()
{
    m_run->requestStop();
    m_thread.quit();
    m_thread.wait();
}

void CopyRunController::connectRun()
{
    connect(m_run, &CopyRun::refused, this, [this](const QString &message) {
        setRunning(false);
        m_messageBox.warn(message);
    });
    connect(m_run, &CopyRun::counted, this, &CopyRunController::copyCounted);
    connect(m_run, &CopyRun::progressed, this, [this](const CopyProgress &progress) {
        if (m_dialog)
            m_dialog->showProgress(progress);
    });
    connect(m_run, &CopyRun::subFolderCopied, this, [this](const QString &name) {
        emit progressLineChanged(QStringLiteral("Copying") + name);
    });
    connect(m_run, &CopyRun::flushing, this, [this] {
        m_flushing = true;
        if (m_dialog)
            m_dialog->showFlushing();
    });
    connect(m_run, &CopyRun::checking, this, [this] {
        m_flushing = false;
        if (m_dialog)
            m_dialog->showChecking();
    });
    connect(m_run, &CopyRun::finished, this,
            [this](const QStringList &problems, const QStringList &notKept, quint64 upToDate,
                   const QStringList &notes, qsizetype notReadBack) {
                noticeEnd(tr("Copy finished"), finishedText(problems.size()));
                setRunning(false);
                emit progressLineChanged(finishedText(problems.size()));
                const QString summary
                    = problemSummary(problems.size(), notKept, upToDate, notes, notReadBack);
                if (summary.isEmpty() || m_quiet)
                    return;
                if (problems.isEmpty())
                    m_messageBox.inform(summary);
                else
                    m_messageBox.informWithDetails(summary, problems.join(QLatin1Char('\n')));
            });
    connect(m_run, &CopyRun::failed, this,
            [this](const QString &subFolder, const QString &file, const QString &reason) {
                noticeEnd(tr("Copy failed"), QStringLiteral("FAILED COPYING ") + subFolder);
                setRunning(false);
                emit progressLineChanged(QStringLiteral("FAILED COPYING ") + subFolder);
                m_messageBox.warn(failureMessage(subFolder, file, reason));
            });
    connect(
        m_run, &CopyRun::cancelled, this,
        [this](const QString &subFolder, const QStringList &copied, const QStringList &notCopied) {
            noticeEnd(tr("Copy cancelled"), QStringLiteral("CANCELLED COPYING ") + subFolder);
            setRunning(false);
            emit progressLineChanged(QStringLiteral("CANCELLED COPYING ") + subFolder);
            if (!m_quiet)
                m_messageBox.inform(cancelledMessage(copied, notCopied));
        });
}

void CopyRunController::start(CopyRequest request, const QString &destinationField)
{
    emit progressLineChanged(QStringLiteral("PREPARE TO COPY"));
    // The choices last for this run only.
    QList<bool> choices { request.rewriteUpToDate, request.checkCopies };
    if (!m_messageBox.confirm(copyPrompt(qsizetype(request.names.size()), destinationField),
                              QStringLiteral("Confirm Copy"),
                              { tr("Also rewrite files that are already up to date"),
                                tr("Check the copies: read them back from the drive afterwards") },
                              choices))
        return;
    request.rewriteUpToDate = choices.value(0);
    request.checkCopies = choices.value(1);

    m_quiet = false;
    setRunning(true);
    m_dialog = new CopyProgressDialog(m_dialogParent);
    connect(m_dialog, &QProgressDialog::canceled, this, &CopyRunController::requestStop);
    // Straight to the run: its thread is busy copying, and waits while paused.
    connect(m_dialog, &CopyProgressDialog::pauseToggled, this,
            [run = m_run](bool paused) { run->setPaused(paused); });
    m_dialog->showCounting();
    m_run->clearStop();
    QMetaObject::invokeMethod(m_run, [run = m_run, request] { run->prepare(request); });
}

void CopyRunController::requestStop()
{
    if (m_running)
        m_run->requestStop();
}

void CopyRunController::stopQuietly()
{
    m_quiet = true;
    requestStop();
}

void CopyRunController::copyCounted(quint64 bytesToWrite, quint64 freeBytes, quint64 bytesThere)
{
    // Files already there are replaced one at a time, or left as they are.
    if (bytesToWrite - std::min(bytesThere, bytesToWrite) > freeBytes
        && !m_messageBox.ask(spaceQuestion(bytesToWrite, freeBytes), tr("Not Enough Space"))) {
        QMetaObject::invokeMethod(m_run, [run = m_run] { run->abandon(); });
        setRunning(false);
        return;
    }
    QMetaObject::invokeMethod(m_run, [run = m_run] { run->copy(); });
}

void CopyRunController::noticeEnd(const QString &summary, const QString &ending)
{
    // Asked before the dialog goes, while it may still be the window in front.
    const QWidget *window = m_dialogParent ? m_dialogParent->window() : nullptr;
    const QWidget *active = QApplication::activeWindow();
    const bool inFront = active && window && (active == window || window->isAncestorOf(active));
    if (!inFront && !m_quiet)
        m_notifier.notify(summary, ending);
}

void CopyRunController::setRunning(bool running)
{
    m_running = running;
    m_flushing = false;
    if (!running && m_dialog) {
        // Later: this may run inside the dialog's own setValue(), which lets events in.
        m_dialog->end();
        m_dialog->deleteLater();
    }
    emit runningChanged(running);
}
