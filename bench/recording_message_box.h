#pragma once

#include "platform/message_box_service.h"

#include <QStringList>

// Answers every box at once and keeps its text, so the benchmark can tell afterwards
// whether the window showed a message it did not expect.
class RecordingMessageBox : public MessageBoxService
{
public:
    void inform(const QString &text) override { m_shown.append(text); }
    void warn(const QString &text) override { m_shown.append(text); }
    bool confirm(const QString &text, const QString &) override
    {
        m_shown.append(text);
        return true;
    }
    const QStringList &shown() const { return m_shown; }

private:
    QStringList m_shown;
};
