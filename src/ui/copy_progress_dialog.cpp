#include "copy_progress_dialog.h"

#include "copy/copy_messages.h"
#include "copy/copy_run.h"
#include "copy/transfer_rate.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>

namespace {

// The bar counts in thousandths: byte counts do not fit its int range.
constexpr int kBarSteps = 1000;
constexpr int kLabelWidth = 400;

} // namespace

CopyProgressDialog::CopyProgressDialog(QWidget *parent)
    : QProgressDialog(parent)
{
    setObjectName(QStringLiteral("copyProgress"));
    setWindowTitle(tr("Copying"));
    setWindowModality(Qt::WindowModal);
    // Its own button, kept: one set in its place leaves the first's Escape shortcut behind,
    // and two shortcuts make Escape do nothing.
    setCancelButtonText(tr("Cancel"));
    m_cancelButton = findChild<QPushButton *>();
    m_pauseButton = new QPushButton(tr("Resume"), this);
    m_pauseButton->setObjectName(QStringLiteral("pauseButton"));
    // As wide as its longer caption, so that it does not change size when pressed.
    m_pauseButton->setMinimumWidth(m_pauseButton->sizeHint().width());
    m_pauseButton->setText(tr("Pause"));
    m_pauseButton->setAutoDefault(false);
    connect(m_pauseButton, &QPushButton::clicked, this, &CopyProgressDialog::togglePause);
    setMinimumDuration(1000);
    setAutoClose(false);
    setAutoReset(false);
    setRange(0, kBarSteps);
    setMinimumWidth(kLabelWidth + 40);
}

void CopyProgressDialog::end()
{
    m_ended = true;
    hide();
}

void CopyProgressDialog::setVisible(bool visible)
{
    // QProgressDialog shows itself once its minimum duration has passed, whatever happened
    // meanwhile: a run that ended before would show its dialog beside the closing message.
    QProgressDialog::setVisible(visible && !m_ended);
}

void CopyProgressDialog::resizeEvent(QResizeEvent *event)
{
    QProgressDialog::resizeEvent(event);
    // QProgressDialog lays out its own children only: Pause goes left of Cancel.
    const QRect cancel = m_cancelButton->geometry();
    const int width = std::max(m_pauseButton->sizeHint().width(), m_pauseButton->minimumWidth());
    m_pauseButton->setGeometry(cancel.left() - cancel.height() / 2 - width, cancel.top(), width,
                               cancel.height());
}

void CopyProgressDialog::togglePause()
{
    m_paused = !m_paused;
    m_pauseButton->setText(m_paused ? tr("Resume") : tr("Pause"));
    showLabel();
    emit pauseToggled(m_paused);
}

void CopyProgressDialog::showLabel()
{
    setLabelText(m_paused ? m_label + QLatin1Char('\n') + tr("Paused") : m_label);
}

void CopyProgressDialog::showCounting()
{
    m_label = tr("Counting\u2026");
    showLabel();
    setValue(0);
}

void CopyProgressDialog::showProgress(const CopyProgress &progress)
{
    const QString place = progress.checking ? checkingText()
                                            : tr("%1 (%2 of %3)")
                                                  .arg(progress.subFolder)
                                                  .arg(progress.subFolderNumber)
                                                  .arg(progress.subFolderCount);
    // A deep path would widen the dialog past the screen; its middle matters least.
    const QString file = fontMetrics().elidedText(progress.file, Qt::ElideMiddle, kLabelWidth);
    // Files left as they were take no time: the rate is that of the data written.
    const QString upToDate = progress.filesUpToDate > 0
        ? QLatin1Char('\n') + upToDateText(progress.filesUpToDate)
        : QString();
    m_label = place + QLatin1Char('\n') + file + QLatin1Char('\n')
        + rateText(progress.bytesDone - progress.bytesUpToDate,
                   progress.bytesTotal - progress.bytesUpToDate, progress.copyingMs)
        + upToDate;
    showLabel();
    const double share
        = progress.bytesTotal ? double(progress.bytesDone) / double(progress.bytesTotal) : 0.0;
    setValue(std::min(kBarSteps - 1, int(share * kBarSteps)));
}

void CopyProgressDialog::showFlushing()
{
    m_label = flushingText();
    setLabelText(m_label);
    setValue(kBarSteps - 1);
    enableButtons(false);
}

void CopyProgressDialog::showChecking()
{
    m_label = checkingText();
    showLabel();
    setValue(0);
    enableButtons(true);
}

void CopyProgressDialog::enableButtons(bool enable)
{
    m_cancelButton->setEnabled(enable);
    m_pauseButton->setEnabled(enable);
    // Escape is the button's shortcut, but does not ask whether the button is enabled.
    for (QShortcut *shortcut : findChildren<QShortcut *>())
        shortcut->setEnabled(enable);
}

void CopyProgressDialog::reject()
{
    if (m_cancelButton->isEnabled())
        QProgressDialog::reject();
}

void CopyProgressDialog::closeEvent(QCloseEvent *event)
{
    if (m_cancelButton->isEnabled())
        QProgressDialog::closeEvent(event);
    else
        event->ignore();
}
