#pragma once

#include "notifier.h"

// Notices through the freedesktop notification service on the session bus. Without a
// session bus or without the service nothing is shown and nothing is reported: the
// call is sent without waiting, and its answer is not read.
class DesktopNotifier : public Notifier
{
public:
    void notify(const QString &summary, const QString &body) override;
};
