#include "qt_message_box.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QMessageBox>

namespace {

int showBox(QMessageBox::Icon icon, const QString &title, const QString &text,
            QMessageBox::StandardButtons buttons, const QString &details = QString())
{
    QMessageBox box(icon, title, text, buttons);
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(details);
    if (buttons.testFlag(QMessageBox::Ok))
        box.setDefaultButton(QMessageBox::Ok);
    else if (buttons.testFlag(QMessageBox::No))
        box.setDefaultButton(QMessageBox::No);
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

bool QtMessageBox::confirm(const QString &text, const QString &title, const QString &option,
                           bool &checked)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok | QMessageBox::Cancel);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    auto *checkBox = new QCheckBox(option, &box);
    box.setCheckBox(checkBox);
    const bool confirmed = box.exec() == QMessageBox::Ok;
    checked = checkBox->isChecked();
    return confirmed;
}

bool QtMessageBox::ask(const QString &text, const QString &title)
{
    return showBox(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void QtMessageBox::informWithDetails(const QString &text, const QString &details)
{
    showBox(QMessageBox::Information, QCoreApplication::applicationName(), text, QMessageBox::Ok,
            details);
}
