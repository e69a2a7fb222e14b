#include "qt_message_box.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
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

bool QtMessageBox::confirm(const QString &text, const QString &title, const QStringList &options,
                           QList<bool> &checked)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok | QMessageBox::Cancel);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    QList<QCheckBox *> boxes;
    for (qsizetype i = 0; i < options.size(); ++i) {
        boxes.append(new QCheckBox(options[i], &box));
        boxes.back()->setChecked(checked.value(i));
    }
    if (!boxes.isEmpty())
        box.setCheckBox(boxes.front());
    // QMessageBox holds one check box: the others go under it, above the buttons.
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    auto *buttons = box.findChild<QDialogButtonBox *>();
    if (grid && buttons && boxes.size() > 1) {
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(grid->indexOf(boxes.front()), &row, &column, &rows, &columns);
        int buttonRow = 0, buttonColumn = 0, buttonRows = 0, buttonColumns = 0;
        grid->getItemPosition(grid->indexOf(buttons), &buttonRow, &buttonColumn, &buttonRows,
                              &buttonColumns);
        grid->removeWidget(buttons);
        for (qsizetype i = 1; i < boxes.size(); ++i)
            grid->addWidget(boxes[i], row + int(i), column, 1, columns);
        grid->addWidget(buttons, row + int(boxes.size()), buttonColumn, buttonRows, buttonColumns);
    }
    const bool confirmed = box.exec() == QMessageBox::Ok;
    checked.clear();
    for (const QCheckBox *option : boxes)
        checked.append(option->isChecked());
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
