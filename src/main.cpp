#include "platform/clock.h"
#include "platform/local_file_system.h"
#include "platform/platform_start_guard.h"
#include "platform/termination_signals.h"
#include "ui/desktop_notifier.h"
#include "ui/main_window.h"
#include "ui/qt_folder_picker.h"
#include "ui/qt_message_box.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    // Without a display the application object cannot be built; the guard turns Qt's
    // abort into one line on stderr and exit status 1.
    std::unique_ptr<QApplication> app;
    {
        PlatformStartGuard guard(QStringLiteral("sprigwell"));
        app = std::make_unique<QApplication>(argc, argv);
    }
    QApplication::setApplicationName(QStringLiteral("Sprigwell"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // Matches the installed .desktop file, so desktops find the menu entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("io.github.sprigwell.Sprigwell"));

    LocalFileSystem fileSystem;
    QtFolderPicker folderPicker;
    QtMessageBox messageBox;
    SystemClock clock;
    DesktopNotifier notifier;
    MainWindow window({ fileSystem, folderPicker, messageBox, clock, notifier });
    // Ctrl+C, a logout or a kill stops a copy as Cancel does, then ends the program.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &window,
                     [&window] { window.stopAndClose(); });
    window.show();
    return QApplication::exec();
}
