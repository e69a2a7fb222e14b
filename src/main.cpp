#include "main_window/form1.h"
#include "platform/clock.h"
#include "platform/local_file_system.h"
#include "platform/qt_folder_picker.h"
#include "platform/qt_message_box.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sprigwell"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("sprigwell"));

    LocalFileSystem fileSystem;
    QtFolderPicker folderPicker;
    QtMessageBox messageBox;
    SystemClock clock;
    Form1 window({ fileSystem, folderPicker, messageBox, clock });
    window.show();
    return app.exec();
}
