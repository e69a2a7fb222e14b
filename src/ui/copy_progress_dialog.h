#pragma once

#include <QProgressDialog>

class QPushButton;

struct CopyProgress;

// The window-modal "Copying" dialog: the sub-folder and its place in the run, the file
// being copied, a bar of bytes, the rate and the time left, Pause (then Resume) and
// Cancel. It appears only
// when a run lasts longer than about a second, so short runs show nothing. During the
// final flush nothing can cancel it: not the button, Escape or the title bar's close.
class CopyProgressDialog : public QProgressDialog
{
    Q_OBJECT

public:
    explicit CopyProgressDialog(QWidget *parent);

    void showCounting();
    void showProgress(const CopyProgress &progress);
    void showFlushing();
    // The copies are read back: Pause and Cancel work again.
    void showChecking();
    // The run is over: hidden for good.
    void end();
    void setVisible(bool visible) override;
    bool isPaused() const { return m_paused; }

signals:
    // Pause or Resume was pressed.
    void pauseToggled(bool paused);

protected:
    void reject() override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void togglePause();
    // The last progress shown, with "Paused" under it while paused.
    void showLabel();
    void enableButtons(bool enable);

    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_pauseButton = nullptr;
    QString m_label;
    bool m_ended = false;
    bool m_paused = false;
};
