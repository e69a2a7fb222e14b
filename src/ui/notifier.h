#pragma once

#include <QString>

// Notices on the desktop, for news the user may miss while working in another window.
// The window shows every notice through this, so tests can count them.
class Notifier
{
public:
    virtual ~Notifier() = default;
    // Shows `summary` with `body` beneath it, or nothing where the desktop cannot; never
    // waits and never fails.
    virtual void notify(const QString &summary, const QString &body) = 0;
};
