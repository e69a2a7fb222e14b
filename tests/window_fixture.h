#pragma once

#include "fake_services.h"
#include "temp_tree.h"
#include "ui/main_window.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

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
};
