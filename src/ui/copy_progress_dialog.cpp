#include "copy_progress_dialog.h"

#include "copy/copy_run.h"
#include "copy/transfer_rate.h"

#include <QFontMetrics>

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
    setCancelButtonText(tr("Cancel"));
    setMinimumDuration(1000);
    setAutoClose(false);
    setAutoReset(false);
    setRange(0, kBarSteps);
    setMinimumWidth(kLabelWidth + 40);
    m_sinceStart.start();
}

void CopyProgressDialog::showCounting()
{
    setLabelText(tr("Counting\u2026"));
    setValue(0);
}

void CopyProgressDialog::showProgress(const CopyProgress &progress)
{
    const QString place = tr("%1 (%2 of %3)")
                              .arg(progress.subFolder)
                              .arg(progress.subFolderNumber)
                              .arg(progress.subFolderCount);
    // A deep path would widen the dialog past the screen; its middle matters least.
    const QString file = fontMetrics().elidedText(progress.file, Qt::ElideMiddle, kLabelWidth);
    setLabelText(place + QLatin1Char('\n') + file + QLatin1Char('\n')
                 + rateText(progress.bytesDone, progress.bytesTotal, m_sinceStart.elapsed()));
    const double share
        = progress.bytesTotal ? double(progress.bytesDone) / double(progress.bytesTotal) : 0.0;
    setValue(std::min(kBarSteps - 1, int(share * kBarSteps)));
}

void CopyProgressDialog::showFlushing()
{
    setLabelText(tr("Finishing writes\u2026"));
    setValue(kBarSteps - 1);
}
