#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Modal message boxes. The window shows every message through this, so tests can
// answer them without a person at the screen.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;

    // A plain notice with OK only, titled with the application's name.
    virtual void inform(const QString &text) = 0;
    // A failure: OK only, with a warning icon.
    virtual void warn(const QString &text) = 0;
    // OK and Cancel, OK the default, and a check box for each of `options`, checked as
    // `checked` says; true when the user chose OK, `checked` then telling which boxes were.
    virtual bool confirm(const QString &text, const QString &title, const QStringList &options,
                         QList<bool> &checked)
        = 0;
    // Yes and No, No the default; true when the user chose Yes.
    virtual bool ask(const QString &text, const QString &title) = 0;
    // A notice whose long part (a list of files, say) sits behind a details button.
    virtual void informWithDetails(const QString &text, const QString &details) = 0;
};
