#pragma once

#include "no_folder_picker.h"
#include "recording_message_box.h"

#include "main_window/form1.h"
#include "platform/clock.h"
#include "platform/local_file_system.h"
#include "platform/path_text.h"

#include <QApplication>

#include <filesystem>

// The real window on the real file system and clock, shown (off screen), with every
// message box answered at once. Needs a QApplication.
class BenchWindow
{
public:
    BenchWindow() { m_window.show(); }

    Form1 &form() { return m_window; }
    LocalFileSystem &fileSystem() { return m_fileSystem; }
    const Clock &clock() const { return m_clock; }
    bool showedMessages() const { return !m_messageBox.shown().isEmpty(); }

    // Lists the folder as the source button does after a valid choice, and lets the
    // window lay out and paint the result.
    void listFolder(const std::filesystem::path &folder)
    {
        m_window.FillEm(pathText(folder) + QLatin1Char('/'));
        QApplication::processEvents();
    }

private:
    LocalFileSystem m_fileSystem;
    NoFolderPicker m_picker;
    RecordingMessageBox m_messageBox;
    SystemClock m_clock;
    Form1 m_window { { m_fileSystem, m_picker, m_messageBox, m_clock } };
};
