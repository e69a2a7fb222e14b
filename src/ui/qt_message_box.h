#pragma once

#include "message_box_service.h"

// Message boxes drawn by Qt, with no owner window, titled with the application's name
// unless a title is given.
class QtMessageBox : public MessageBoxService
{
public:
    void inform(const QString &text) override;
    void warn(const QString &text) override;
    bool confirm(const QString &text, const QString &title, const QStringList &options,
                 QList<bool> &checked) override;
    bool ask(const QString &text, const QString &title) override;
    void informWithDetails(const QString &text, const QString &details) override;
};
