#pragma once

#include <QString>
#include <QtGlobal>

#include <mutex>
#include <vector>

// Qt ends the program with an abort and a screenful of advice when its window-system
// plugin cannot connect, for instance with no DISPLAY set. From construction until end(),
// this holds back Qt's messages; if Qt gives up in that time it prints one line to stderr
// and ends the program with status 1. Otherwise end() passes the held messages on as
// they were. Meant to span the construction of the application object, once.
class PlatformStartGuard
{
public:
    explicit PlatformStartGuard(QString programName);
    ~PlatformStartGuard();
    PlatformStartGuard(const PlatformStartGuard &) = delete;
    PlatformStartGuard &operator=(const PlatformStartGuard &) = delete;

    void end();

private:
    struct HeldMessage
    {
        QtMsgType type;
        QByteArray file;
        int line;
        QByteArray function;
        QByteArray category;
        QString text;
    };

    static void handleMessage(QtMsgType type, const QMessageLogContext &context,
                              const QString &text);

    QString m_programName;
    QtMessageHandler m_previousHandler = nullptr;
    std::mutex m_mutex; // the platform plugin may log from its own threads
    std::vector<HeldMessage> m_held;
    bool m_holding = true;
};
