#pragma once

#include "fake_services.h"

#include "platform/clock.h"
#include "platform/local_file_system.h"
#include "platform/path_text.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

#include <filesystem>

// The real window on the real file system and clock, shown (off screen), with every
// message box answered at once. Needs a QApplication.
class BenchWindow
{
public:
    BenchWindow() { m_window.show(); }

    MainWindow &window() { return m_window; }
    QLineEdit *dayCountField()
    {
        return m_window.findChild<QLineEdit *>(QStringLiteral("daysold"));
    }
    int listedRows() const
    {
        return m_window.findChild<QListView *>(QStringLiteral("ListSourceFiles"))
            ->model()
            ->rowCount();
    }
    LocalFileSystem &fileSystem() { return m_fileSystem; }
    const Clock &clock() const { return m_clock; }
    bool showedMessages() const { return m_messageBox.showedAnything(); }

    QString progressLine() const
    {
        return m_window.findChild<QLabel *>(QStringLiteral("Label2"))->text();
    }
    // Until the look inside the listed sub-folders has reported its end.
    void waitForLook()
    {
        while (!progressLine().startsWith(QStringLiteral("LOOKED INSIDE")))
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    // Lists the folder as the source button does after a valid choice, and lets the
    // window lay out and paint the result.
    void listFolder(const std::filesystem::path &folder)
    {
        m_window.listSourceFolder(pathText(folder) + QLatin1Char('/'));
        QApplication::processEvents();
    }

private:
    LocalFileSystem m_fileSystem;
    FakeFolderPicker m_picker;
    FakeMessageBox m_messageBox;
    SystemClock m_clock;
    FakeNotifier m_notifier;
    MainWindow m_window { { m_fileSystem, m_picker, m_messageBox, m_clock, m_notifier } };
};
