#pragma once

#include "fake_services.h"
#include "temp_tree.h"
#include "ui/main_window.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

// A window on fake services whose "/" is a fresh temporary folder; made anew for each
// test function so no state leaks between them. Controls are found by the object names
// inspection tools see.
struct WindowFixture
{
    TempTree::Folder dir;
    FakeServices fakes;
    MainWindow window;

    // On the fake notifier, or on `notifier` where one is given.
    explicit WindowFixture(Notifier *notifier = nullptr)
        : window(fakes.services(notifier))
    {
        fakes.fileSystem.root = dir.path();
    }
    std::filesystem::path disk(const std::string &relative) const { return dir.path() / relative; }

    template<typename Control = QWidget> Control *control(const char *name) const
    {
        auto *found = window.findChild<Control *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QLineEdit *field(const char *name) const { return control<QLineEdit>(name); }
    QPushButton *button(const char *name) const { return control<QPushButton>(name); }
    QListView *list() const { return control<QListView>("ListSourceFiles"); }
    QString counter() const { return field("txtFiles")->text(); }
    QString progress() const { return control<QLabel>("Label2")->text(); }
    void select(int row) const
    {
        list()->selectionModel()->select(list()->model()->index(row, 0),
                                         QItemSelectionModel::Select);
    }
    // Presses `name`, and the folder picker answers `picked` (none: the user cancels).
    void choose(const char *name, const QString &picked)
    {
        if (!picked.isEmpty())
            fakes.folderPicker.answers << picked;
        QTest::mouseClick(button(name), Qt::LeftButton);
    }
    // Lists /src/, chooses the destination (sets the field where it has no final separator)
    // and selects the given rows: the copy button is on.
    void listAndSelect(const QString &destination, const QList<int> &rows)
    {
        window.listSourceFolder(QStringLiteral("/src/"));
        if (destination.endsWith(u'/'))
            choose("cmdDest", destination.chopped(1));
        else
            field("Text2")->setText(destination);
        for (int row : rows)
            select(row);
        QVERIFY(button("Command2")->isEnabled());
    }
    // Presses the copy button; true once the run has ended.
    bool copy() const
    {
        QTest::mouseClick(button("Command2"), Qt::LeftButton);
        return runEnded();
    }
    bool runEnded() const
    {
        return QTest::qWaitFor([this] { return button("cmdSource")->isEnabled(); }, 20000);
    }
};
