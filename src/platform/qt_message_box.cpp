#include "qt_message_box.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

int showBox(QMessageBox::Icon icon, const QString &title, const QString &text,
            QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons);
    box.setTextFormat(Qt::PlainText);
    if (buttons.testFlag(QMessageBox::Ok))
        box.setDefaultButton(QMessageBox::Ok);
    return box.exec();
}

} // namespace

void QtMessageBox::inform(const QString &text)
{
    showBox(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok);
}

void QtMessageBox::warn(const QString &text)
{
    showBox(QMessageBox::Warning, QCoreApplication::applicationName(), text, QMessageBox::Ok);
}

bool QtMessageBox::confirm(const QString &text, const QString &title)
{
    return showBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok | QMessageBox::Cancel)
        == QMessageBox::Ok;
}
